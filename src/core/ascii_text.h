#pragma once

// Plain-text helpers for the ASCII parts of what the program reads:
// settings typed by the user, headers of a mirror, lines of a tool's output.

#include <cctype>
#include <string_view>

namespace tolvar {

// The text without the blanks, tabs and line ends around it.
inline std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Equal but for the case of ASCII letters, as Windows compares file names
// and HTTP header names.
inline bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace tolvar
