#include "core/command_line.h"

#include <cstddef>

#include "core/ascii_text.h"

namespace tolvar {

std::string QuoteArgument(std::string_view text) {
    if (text.find_first_of(" \t") == std::string_view::npos) return std::string(text);
    // Windows file names cannot hold a double quote, so only the closing
    // backslashes need care: "C:\My Folder\" would otherwise swallow the
    // closing quote and merge with the next argument.
    const std::size_t lastOther = text.find_last_not_of('\\');
    const std::size_t closingBackslashes =
        lastOther == std::string_view::npos ? text.size() : text.size() - lastOther - 1;
    std::string quoted;
    quoted.reserve(text.size() + closingBackslashes + 2);
    quoted += '"';
    quoted += text;
    quoted.append(closingBackslashes, '\\');
    quoted += '"';
    return quoted;
}

ProgramArguments ReadProgramArguments(const std::vector<std::string>& arguments) {
    ProgramArguments read;
    for (const std::string& argument : arguments) {
        if (EqualIgnoringCase(argument, "/tray")) {
            read.tray = true;
        } else if (EqualIgnoringCase(argument, "/scan")) {
            read.scan = true;
        } else if (read.scan && !argument.empty() && argument.front() != '/') {
            // No Windows path starts with "/": such a word is a switch this
            // program does not know, never a file.
            // "C:\" in quotes reaches the program as C:" (its backslash
            // escapes the quote), and no Windows name holds a quote.
            std::string path = argument;
            if (path.back() == '"') path.back() = '\\';
            read.scanPaths.push_back(path);
        } else {
            read.ignored.push_back(argument);
        }
    }
    return read;
}

std::string IgnoredArgumentsNotice(const std::vector<std::string>& ignored) {
    if (ignored.empty()) return "";
    std::string notice = "Ignored on the command line:";
    for (const std::string& argument : ignored) {
        notice += ' ';
        notice += argument.empty() ? std::string("\"\"") : QuoteArgument(argument);
    }
    return notice;
}

}  // namespace tolvar
