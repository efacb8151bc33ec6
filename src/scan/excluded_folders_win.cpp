#include "core/app_error.h"
#include "core/registry_win.h"
#include "scan/excluded_folders.h"

namespace tolvar {

std::string LoadExcludedFoldersText() {
    try {
        return RegistryKey(kExcludeSubkey).ReadText();
    } catch (const AppError&) {
        // A value of another type, or a key the program may not open: no
        // folder is excluded, and the value stays for the user to see.
        return {};
    }
}

ExcludedFolders LoadExcludedFolders() {
    return ExcludedFolders(ParseExcludedFolders(LoadExcludedFoldersText()));
}

void StoreExcludedFolders(const std::vector<std::string>& folders) {
    RegistryKey(kExcludeSubkey).WriteText(ExcludedFoldersText(folders));
}

}  // namespace tolvar
