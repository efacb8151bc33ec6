#pragma once

// The scanner's command line. The scanner splits it with the Microsoft C
// runtime's rules, so every path must come out of that split unchanged,
// blanks, tabs and closing backslashes included.

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The text unchanged when it holds no blank or tab (an empty text stays
// empty); otherwise in double quotes, with the backslashes right before the
// closing quote doubled so they do not escape it.
std::string QuoteArgument(std::string_view text);

// programFolder and databaseFolder end with a backslash. The daily database
// is named only when its file exists: a missing database
// file would stop the scanner from loading any.
std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::string& databaseFolder,
                                    const std::vector<std::string>& folders,
                                    bool dailyDatabaseExists);

}  // namespace tolvar
