#pragma once

#include <string>

namespace tolvar {

// The folders every file path of the program is formed from; each ends with
// a backslash. Fixed by FixFolders at start-up, then only read.
struct ProgramFolders {
    std::string ProgramFolder;
    std::string DataFolder;
    std::string DatabaseFolder;
};

ProgramFolders& Folders();

// The program folder is the executable's; the data folder is the stored one
// (registry "appdatapath") when it is acceptable, otherwise the roaming
// application-data folder + "Mirebrook\", which is then stored. The data
// folder and its database folder are created (the vault makes its own).
void FixFolders();

// The folder of the running executable, with a trailing backslash.
std::string ExecutableFolder();

}  // namespace tolvar
