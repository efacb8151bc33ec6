#pragma once

// Command lines: the program's own, and those of the programs it starts
// (the scanner, the updater).
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

// Whether the program's own arguments (its command line after its name)
// hold the switch "/tray", in any case: the program then starts hidden in
// the tray. Every other argument is passed over, quoted ones whole.
bool AsksForTray(std::string_view arguments);

}  // namespace tolvar
