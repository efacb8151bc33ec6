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

std::optional<std::string> FindTreeLister::FolderIdentity(const std::string& folder) {
    UniqueHandle handle(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
    // Some file systems and network servers answer no index at all; such a
    // folder cannot be told apart and is listed as it comes.
    if (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0) return std::nullopt;
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
           ":" + std::to_string(info.nFileIndexLow);
}

}  // namespace tolvar
