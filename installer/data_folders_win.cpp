// Run by the setup, with its administrator rights and as the user who
// installs, before the program is put in place: makes the program's data
// folder and its database folder where the program will look for them (the
// program's own rules, in the program's own code page), owned by the
// Administrators with the access list the program gives them, which lets
// only them and SYSTEM change anything there and which all they hold
// inherits, and the quarantine vault inside with a list of its own. So the
// data folder is never open to others, not even before the first start. A
// data folder already there (an upgrade) is given that list when it lacks
// it; what it holds is judged file by file, as the program's start does.
//
// Exit code 0 when all is in place; otherwise 1 (a data folder), 2 (the
// vault) or 3 (the data folder could still be changed by others), with the
// reason on standard output for the setup to show.

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

#include "core/folders.h"
#include "core/trusted_files_win.h"
#include "quarantine/vault.h"

namespace {

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

int main() {
    using tolvar::Folders;
    try {
        tolvar::FixFolders();
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
    for (const std::string& folder : {Folders().DataFolder, Folders().DatabaseFolder}) {
        if (!IsFolder(folder)) {
            std::printf("The folder %s could not be made.\n", folder.c_str());
            return 1;
        }
    }
    const std::string untrusted = tolvar::DataFolderTrustProblem();
    if (!untrusted.empty()) {
        std::printf("The data folder cannot be protected: %s.\n", untrusted.c_str());
        return 3;
    }
    const std::string problem = tolvar::MakeVaultFolder();
    if (!problem.empty()) {
        std::printf("The quarantine vault %s cannot be used: %s.\n", tolvar::VaultFolder().c_str(),
                    problem.c_str());
        return 2;
    }
    return 0;
}
