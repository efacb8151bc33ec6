#include "core/life_cycle.h"

#include <windows.h>

#include "core/folders.h"
#include "framework/app_error.h"
#include "ui/main_form.h"

namespace tolvar {

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
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

bool IsNewWindowsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&info)) return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return info.dwMajorVersion >= 6;
}

void StartUp(TForm1& form) {
    form.CurrentPage = 1;
    form.ScanView = 1;
    form.SelectedPage = 1;
    Folders().ProgramFolder = ExecutableFolder();
    form.skin().LoadSkin(Folders().ProgramFolder);
    form.ShowPage();
}

void ShutDown(TForm1& form) {
    // Nothing may stop the program from ending.
    try {
        form.skin().Release();
    } catch (const std::exception&) {
    }
}

}  // namespace tolvar
