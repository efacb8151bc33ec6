#include "protection/folder_entries_win.h"

#include "core/wide_text_win.h"

namespace tolvar {

std::uint64_t Ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

std::uint64_t NowTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    path += name;
    return path;
}

UniqueHandle OpenFolder(const std::string& folder) {
    // Sharing delete too: the user may still remove or rename the folder.
    return UniqueHandle(CreateFileW(Utf8ToWide(folder).c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
}

std::optional<std::string> IdentityOf(const std::string& folder) {
    UniqueHandle handle = OpenFolder(folder);
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

std::vector<ListedEntry> ListFolderEntries(const std::string& folder) {
    std::vector<ListedEntry> entries;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(Utf8ToWide(Join(folder, "*")).c_str(), &found));
    if (!search) return entries;
    do {
        ListedEntry entry;
        entry.name = WideToUtf8(found.cFileName);
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.lastWrite = Ticks(found.ftLastWriteTime);
        entry.created = Ticks(found.ftCreationTime);
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

}  // namespace tolvar
