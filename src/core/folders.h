#pragma once

#include <string>

namespace tolvar {

// The folders every file path of the program is formed from; each ends with
// a backslash. Fixed by StartUp, then only read.
struct ProgramFolders {
    std::string ProgramFolder;
    std::string DataFolder;
    std::string DatabaseFolder;
};

ProgramFolders& Folders();

}  // namespace tolvar
