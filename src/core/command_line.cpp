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

bool AsksForTray(std::string_view arguments) {
    std::size_t at = 0;
    while (at < arguments.size()) {
        at = arguments.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        std::size_t end = at;
        bool quoted = false;
        while (end < arguments.size() &&
               (quoted || (arguments[end] != ' ' && arguments[end] != '\t'))) {
            if (arguments[end] == '"') quoted = !quoted;
            ++end;
        }
        // A quoted "/tray" is still the switch, as the C runtime would pass it.
        std::string_view word = arguments.substr(at, end - at);
        if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
            word = word.substr(1, word.size() - 2);
        if (EqualIgnoringCase(word, "/tray")) return true;
        at = end;
    }
    return false;
}

}  // namespace tolvar
