#pragma once

// The scanner's command line. The scanner splits it with the Microsoft C
// runtime's rules, so every path must come out of that split unchanged,
// blanks, tabs and closing backslashes included.

#include <string>
#include <vector>

#include "core/command_line.h"

namespace tolvar {

// programFolder ends with a backslash. databaseFiles are the database files
// to load, each named in full (ScanDatabaseFiles); none names main.cvd in
// databaseFolder, so the scanner itself reports the missing database.
std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::string& databaseFolder,
                                    const std::vector<std::string>& databaseFiles,
                                    const std::vector<std::string>& folders);

}  // namespace tolvar
