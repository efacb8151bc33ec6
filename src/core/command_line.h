#pragma once

// Command lines of the programs this one starts (the scanner, the updater).
// They split their command line with the Microsoft C runtime's rules, so
// every path must come out of that split unchanged, blanks, tabs and closing
// backslashes included.

#include <string>
#include <string_view>

namespace tolvar {

// The text unchanged when it holds no blank or tab (an empty text stays
// empty); otherwise in double quotes, with the backslashes right before the
// closing quote doubled so they do not escape it.
std::string QuoteArgument(std::string_view text);

}  // namespace tolvar
