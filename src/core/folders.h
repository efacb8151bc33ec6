#pragma once

#include <string>
#include <vector>

namespace tolvar {

// The vault's folder in the data folder.
inline constexpr const char* kVaultFolderName = "virus_vault\\";

// The folders every file path of the program is formed from; each ends with
// a backslash. Fixed by FixFolders at start-up, then only read.
struct ProgramFolders {
    std::string ProgramFolder;
    std::string DataFolder;
    std::string DatabaseFolder;
    // The data folder's final path, links and junctions resolved, as it was
    // at start-up ("" until then): what the files of the data folder must
    // be reached under (named_file_win.h).
    std::string FinalDataFolder;
    // Who may change the data folder and what it holds, as its file system
    // reports owners (folder_protection.h): SIDs in their text form.
    std::vector<std::string> TrustedWriters;
};

ProgramFolders& Folders();

// The program folder is the executable's; the data folder is the stored one
// (registry "appdatapath") when it is acceptable, otherwise the roaming
// application-data folder + "Mirebrook\", which is then stored. The data
// folder and its database folder are then made safe before anything in
// them is read or run (SecureDataFolders); the vault makes its own folder.
void FixFolders();

// The folder of the running executable, with a trailing backslash.
std::string ExecutableFolder();

}  // namespace tolvar
