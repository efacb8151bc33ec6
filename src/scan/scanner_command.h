#pragma once

// The scanner's command line. The scanner splits it with the Microsoft C
// runtime's rules, so every path must come out of that split unchanged,
// blanks, tabs and closing backslashes included.

#include <string>
#include <vector>

#include "core/command_line.h"

namespace tolvar {

// programFolder ends with a backslash. databaseFiles are the database files
// to load, each named in full (ScanDatabaseFiles); there is at least one,
// since a scanner named none would load whatever its own default folder
// holds (a scan without one fails before it starts). With a fileList, the
// scanner is given "--file-list=<fileList>" instead of the folders. Each
// excluded folder (in ExcludedFolderOf's form) is given as an
// "--exclude-dir" pattern, which clamscan also applies to the folders it
// is given.
std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::vector<std::string>& databaseFiles,
                                    const std::vector<std::string>& folders,
                                    const std::string& fileList = {},
                                    const std::vector<std::string>& excludedFolders = {});

// True when a folder must reach the scanner through a file list: clamscan.exe
// before 1.5 reads its command line in the system's ANSI code page, which
// may lack a character of the folder's name, while it reads the lines of a
// --file-list file as UTF-8. Plain ASCII passes either way.
bool NeedsFileList(const std::vector<std::string>& folders);

// The file list: one folder a line, UTF-8, each ended by a line feed.
std::string FileListText(const std::vector<std::string>& folders);

}  // namespace tolvar
