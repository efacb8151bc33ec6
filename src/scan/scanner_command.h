#pragma once

// The scanner's command line. The scanner splits it with the Microsoft C
// runtime's rules, so every path must come out of that split unchanged,
// blanks, tabs and closing backslashes included.

#include <string>
#include <vector>

#include "core/command_line.h"

namespace tolvar {

// programFolder and databaseFolder end with a backslash. databaseFiles are
// the database files to load, each named in full (ScanDatabaseFiles); when
// there are none, main.cvd in databaseFolder is named, so that the scanner
// itself reports the missing database instead of loading another set.
std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::string& databaseFolder,
                                    const std::vector<std::string>& databaseFiles,
                                    const std::vector<std::string>& folders);

}  // namespace tolvar
