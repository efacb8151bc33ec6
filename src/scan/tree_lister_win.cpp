#include "scan/tree_lister_win.h"

#include <windows.h>

#include "core/handles_win.h"

namespace tolvar {

std::optional<std::uint32_t> FindTreeLister::Attributes(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

bool FindTreeLister::List(const std::string& folder,
                          const std::function<bool(const Entry&)>& each) {
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileExA((folder + "*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        // dwReserved0 holds a reparse point's tag.
        const bool more =
            each({name, found.dwFileAttributes,
                  (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0 : 0});
        if (!more) return true;
    } while (FindNextFileA(find.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace tolvar
