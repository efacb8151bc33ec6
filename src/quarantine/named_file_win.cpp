#include "quarantine/named_file_win.h"

#include <vector>

#include "core/system_error_win.h"
#include "core/wide_text_win.h"

namespace tolvar {

namespace {

std::string WithoutTrailingBackslash(std::string path) {
    // "C:\" keeps its backslash: "C:" alone means the drive's current folder.
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

// The full, long form of a path that exists: what a final path is compared
// with.
std::string Expanded(const std::string& path) {
    std::string full(MAX_PATH * 2, '\0');
    DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    std::string longer(MAX_PATH * 2, '\0');
    n = GetLongPathNameA(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n == 0 || n >= longer.size()) return full;
    longer.resize(n);
    return longer;
}

// The path the system resolved the handle to, in the ordinary DOS form.
std::string FinalPath(HANDLE handle) {
    std::vector<char> buffer(MAX_PATH * 2);
    DWORD n = GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= buffer.size()) return "";
    std::string path(buffer.data(), n);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

bool SamePath(const std::string& a, const std::string& b) {
    const std::wstring x = Utf8ToWide(WithoutTrailingBackslash(a));
    const std::wstring y = Utf8ToWide(WithoutTrailingBackslash(b));
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

// "" when the handle is the file or folder that path names, reached through
// no link.
std::string ReachedAs(HANDLE handle, const std::string& path, bool folder) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        return SystemErrorText(GetLastError());
    }
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return path + " is a link";
    const bool isFolder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != folder) return path + (folder ? " is not a folder" : " is a folder");
    if (!SamePath(FinalPath(handle), Expanded(path))) {
        return path + " is reached through a junction or a link";
    }
    return "";
}

}  // namespace

std::string FileReachedAsNamed(HANDLE file, const std::string& path) {
    return ReachedAs(file, path, false);
}

NamedFile OpenNamedFile(const std::string& path, DWORD access, DWORD share) {
    NamedFile file;
    file.handle.reset(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
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
    const std::string path = WithoutTrailingBackslash(folder);
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
