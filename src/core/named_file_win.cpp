#include "core/named_file_win.h"

#include <vector>

#include "core/folders.h"
#include "core/path_compare.h"
#include "core/reparse_tag.h"
#include "core/system_error_win.h"

namespace tolvar {

namespace {

// The largest path the system hands out, with its terminating zero.
constexpr DWORD kLongestPath = 32768;

// Calls a function of the GetFullPathNameA kind: it returns the length
// without the zero when the text fits, the size needed with the zero when it
// does not, and 0 on failure. "" on failure.
template <typename Fill>
std::string ReadText(Fill fill) {
    std::string text(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = fill(text.data(), static_cast<DWORD>(text.size()));
        if (n == 0) return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        if (n > kLongestPath) return {};
        text.resize(n);
    }
}

// The full, long form of a path as written: relative parts and "." and ".."
// resolved, 8.3 short names expanded, links left as they stand.
std::string Expanded(const std::string& path) {
    const std::string full = ReadText([&](char* buffer, DWORD size) {
        return GetFullPathNameA(path.c_str(), size, buffer, nullptr);
    });
    if (full.empty()) return path;
    // A file that is gone has no long form to look up.
    const std::string longer = ReadText(
        [&](char* buffer, DWORD size) { return GetLongPathNameA(full.c_str(), buffer, size); });
    return longer.empty() ? full : longer;
}

// Where the system would have to land for path to be reached as named, in
// ComparablePath's form: the data folder or the path's root resolved to
// its final path (a root that cannot be opened stands as written), then
// the rest as written.
std::string ExpectedFinalPath(const std::string& path) {
    const std::string named = Expanded(path);
    const std::string comparable = ComparablePath(named);
    const ProgramFolders& folders = Folders();
    if (!folders.FinalDataFolder.empty()) {
        const std::string data = ComparablePath(folders.DataFolder);
        if (LiesInside(comparable, data)) {
            return ComparablePath(folders.FinalDataFolder) + comparable.substr(data.size());
        }
    }
    const std::size_t root = RootLength(named);
    if (root == 0) return comparable;
    const std::string rootFinal = ResolvedPath(named.substr(0, root));
    // The comparable form is made character by character, so that of the
    // whole path begins with that of its root.
    const std::size_t rootEnd = ComparablePath(named.substr(0, root)).size();
    return ComparablePath(rootFinal) + comparable.substr(rootEnd);
}

// "" when the handle is the file or folder that path names, reached through
// no link: not itself a symbolic link or a mount point, and at the final
// path the path leads to when nothing along it is a link.
std::string ReachedAs(HANDLE handle, const std::string& path, bool folder) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        return SystemErrorText(GetLastError());
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag.ReparseTag)) {
        return path + " is a link";
    }
    const bool isFolder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != folder) return path + (folder ? " is not a folder" : " is a folder");
    if (ComparablePath(FinalPathOf(handle)) != ExpectedFinalPath(path)) {
        return path + " is reached through a junction or a link";
    }
    return "";
}

bool IsReparsePoint(HANDLE handle, DWORD& tag) {
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
        return false;
    }
    tag = info.ReparseTag;
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

std::string FinalPathOf(HANDLE handle) {
    std::string path = ReadText([&](char* buffer, DWORD size) {
        return GetFinalPathNameByHandleA(handle, buffer, size,
                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::string ResolvedPath(const std::string& path) {
    const UniqueHandle handle(CreateFileA(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::string final = handle ? FinalPathOf(handle.get()) : std::string();
    return final.empty() ? Expanded(path) : final;
}

std::string FileReachedAsNamed(HANDLE file, const std::string& path) {
    return ReachedAs(file, path, false);
}

NamedFile OpenNamedFile(const std::string& path, DWORD access, DWORD share) {
    NamedFile file;
    // Opened at the reparse point, if there is one, to see what it is
    // before anything follows it.
    file.handle.reset(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD tag = 0;
    if (file.handle && IsReparsePoint(file.handle.get(), tag) && !IsLinkTag(tag)) {
        // A placeholder or a deduplicated file: its content comes from its
        // file system filter, which an open at the reparse point bypasses.
        // Should a link have taken its place since, the final path below
        // tells.
        file.handle.reset(
            CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    if (!file.handle) {
        file.error = GetLastError();
        file.problem = "cannot open " + path + ": " + SystemErrorText(file.error);
        return file;
    }
    file.problem = FileReachedAsNamed(file.handle.get(), path);
    if (!file.problem.empty()) file.handle.reset();
    return file;
}

std::string NamedFolderProblem(const std::string& folder) {
    const std::string path = WithoutClosingBackslash(folder);
    const UniqueHandle handle(
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return "cannot open " + path + ": " + SystemErrorText(GetLastError());
    return ReachedAs(handle.get(), path, true);
}

bool DeleteThroughHandle(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
        return true;
    }
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) &&
           SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace tolvar
