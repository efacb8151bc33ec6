#include "core/system_library_win.h"

#include <string>

namespace tolvar {

HMODULE LoadSystemLibrary(const char* name) {
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Systems that do not know the search flag: the full path into the
    // system folder.
    char folder[MAX_PATH];
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryA((std::string(folder, n) + "\\" + name).c_str());
}

}  // namespace tolvar
