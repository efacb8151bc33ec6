#pragma once

// Command lines: the program's own, and those of the programs it starts
// (the scanner, the updater).
// They split their command line with the Microsoft C runtime's rules, so
// every path must come out of that split unchanged, blanks, tabs and closing
// backslashes included.

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The text unchanged when it holds no blank or tab (an empty text stays
// empty); otherwise in double quotes, with the backslashes right before the
// closing quote doubled so they do not escape it.
std::string QuoteArgument(std::string_view text);

// What the program's own arguments (after its name, as the C runtime splits
// them, in UTF-8) ask for. Switches are read in any case and anywhere:
// "/tray" starts the program hidden in the tray; "/scan" makes every
// argument after it that is no switch a file or folder to scan. Anything
// else is ignored, and kept to be told.
struct ProgramArguments {
    bool tray = false;
    bool scan = false;
    std::vector<std::string> scanPaths;
    std::vector<std::string> ignored;
};
ProgramArguments ReadProgramArguments(const std::vector<std::string>& arguments);

// The status line's word on what the command line held that the program
// does not read; "" when nothing was ignored.
std::string IgnoredArgumentsNotice(const std::vector<std::string>& ignored);

}  // namespace tolvar
