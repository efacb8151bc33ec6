#pragma once

// clamd's ExcludePath values are POSIX extended regular expressions matched
// against the paths it scans. The program writes them as "^" and a folder's
// path with every metacharacter escaped; the bridge rewrites that path in
// Linux form and so needs the literal text a regex starts with, and the way
// back into a regex.

#include <string>
#include <string_view>

namespace tolvar::bridge {

struct RegexStart {
    bool anchored = false;  // began with "^"
    std::string literal;    // the text it matches literally first, unescaped
    std::string rest;       // the regex after that text, as written
};

// Splits a regex at its first unescaped metacharacter (or escaped ordinary
// character, whose meaning is not literal in every regex dialect).
RegexStart SplitLiteralStart(std::string_view regex);

// text as a regex that matches exactly it.
std::string EscapeRegex(std::string_view text);

}  // namespace tolvar::bridge
