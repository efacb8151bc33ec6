#include "core/command_line.h"

#include <cstddef>

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

}  // namespace tolvar
