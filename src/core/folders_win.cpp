#include "core/folders.h"

#include <windows.h>

#include <shlobj.h>

#include "core/app_error.h"
#include "core/date_serial.h"
#include "core/registry_win.h"
#include "core/trusted_files_win.h"

namespace tolvar {

namespace {

std::string WithBackslash(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

// The roaming application-data folder + "Mirebrook\"; "\Mirebrook\" when
// the shell cannot tell.
std::string DefaultDataFolder() {
    char appData[MAX_PATH] = "";
    std::string base;
    if (SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE)) base = appData;
    return WithBackslash(base) + "Mirebrook\\";
}

}  // namespace

ProgramFolders& Folders() {
    static ProgramFolders folders;
    return folders;
}

std::string ExecutableFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw AppError("Cannot find the program's own folder");
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    // The fully expanded form: no 8.3 names or relative parts.
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n > 0 && n < sizeof full) path.assign(full, n);
    const std::size_t slash = path.find_last_of("\\/");
    return WithBackslash(slash == std::string::npos ? std::string() : path.substr(0, slash));
}

void FixFolders() {
    Folders().ProgramFolder = ExecutableFolder();
    Folders().DataFolder = DefaultDataFolder();
    try {
        RegistryKey key("appdatapath");
        if (!DataFolderFromStored(key.ReadText(), Folders().DataFolder)) {
            key.WriteText(Folders().DataFolder);
        }
    } catch (const AppError&) {
        // The default data folder stands.
    }
    Folders().DatabaseFolder = Folders().DataFolder + "db\\";
    SecureDataFolders();
}

}  // namespace tolvar
