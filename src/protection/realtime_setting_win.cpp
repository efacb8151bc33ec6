#include "protection/realtime_setting_win.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "core/app_error.h"
#include "core/registry_win.h"
#include "core/unique_resource.h"
#include "core/wide_text_win.h"
#include "scan/excluded_folders.h"

namespace tolvar {

namespace {

// Set once the user stored a list, so that an emptied list is not taken for
// one never stored.
constexpr const char* kChosenValue = "Chosen";
constexpr const char* kEnabledValue = "Enabled";

void FreeShellText(PWSTR text) {
    CoTaskMemFree(text);
}
using ShellText = UniqueResource<NullIsNone<PWSTR, &FreeShellText>>;

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
    const ShellText owned(path);
    if (FAILED(result) || !path) return {};
    return WideToUtf8(path);
}

}  // namespace

bool RealtimeWanted() {
    try {
        return RegistryKey(kWatchSubkey).ReadNamedDword(kEnabledValue).value_or(1) != 0;
    } catch (const AppError&) {
        return true;
    }
}

void StoreRealtimeWanted(bool on) {
    RegistryKey(kWatchSubkey).WriteNamedDword(kEnabledValue, on ? 1 : 0);
}

std::vector<std::string> WatchedFolders() {
    try {
        const RegistryKey key(kWatchSubkey);
        if (key.ReadNamedDword(kChosenValue).value_or(0) == 0) return DefaultWatchedFolders();
        return ParseExcludedFolders(key.ReadText());
    } catch (const AppError&) {
        // A value of another type: the defaults, and the value stays for the
        // user to see and store anew.
        return DefaultWatchedFolders();
    }
}

void StoreWatchedFolders(const std::vector<std::string>& folders) {
    const RegistryKey key(kWatchSubkey);
    key.WriteText(ExcludedFoldersText(folders));
    key.WriteNamedDword(kChosenValue, 1);
}

std::vector<std::string> DefaultWatchedFolders() {
    std::string text;
    for (const KNOWNFOLDERID* id : {&FOLDERID_Downloads, &FOLDERID_Desktop, &FOLDERID_Documents})
        text += KnownFolder(*id) + "\n";
    return ParseExcludedFolders(text);
}

}  // namespace tolvar
