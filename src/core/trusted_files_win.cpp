#include "core/trusted_files_win.h"

#include <shlobj.h>

#include <cstdio>
#include <optional>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folder_files_win.h"
#include "core/folder_protection_win.h"
#include "core/folders.h"
#include "core/path_compare.h"

namespace tolvar {

namespace {

constexpr const char* kUnprotected = "unprotected";

bool IsOwnedByWriterGroup(const SecurityView& view) {
    return view.owner == kAdministratorsSid || view.owner == kLocalSystemSid;
}

// Creates the folder protected when nothing is in its place (its parents as
// folders are made), or protects it when others could change it, and
// learns who may write it.
void SecureFolder(const std::string& folder) {
    ProgramFolders& folders = Folders();
    const std::string path = WithoutClosingBackslash(folder);
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::size_t slash = path.find_last_of('\\');
        if (slash != std::string::npos && slash > 2) {
            SHCreateDirectoryExA(nullptr, path.substr(0, slash).c_str(), nullptr);
        }
        CreateProtectedFolder(path);
    }
    std::optional<SecurityView> view = FolderSecurity(path);
    if (!view) return;
    if (!IsOwnedByWriterGroup(*view)) {
        // Only what the system reports after it took the protected owner
        // tells whether this file system keeps owners; without that, nobody
        // but the Administrators and SYSTEM counts as a writer.
        if (!ProtectFolder(path)) return;
        view = FolderSecurity(path);
        if (!view) return;
        folders.TrustedWriters = TrustedWriters(view->owner, CurrentUserSid());
    }
    if (OthersCanChange(*view, folders.TrustedWriters)) ProtectFolder(path);
}

// Sets aside every file of the folder that others could change, or that is
// no plain file reached as named.
void SetAsideUnprotected(const std::string& folder) {
    const std::string mark = std::string(".") + kUnprotected + "-";
    for (const std::string& name : FilesMatching(folder, "*")) {
        if (name.find(mark) != std::string::npos) continue;  // set aside before
        const std::string path = folder + name;
        bool trusted = false;
        {
            const NamedFile file = OpenTrustedFile(
                path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            trusted = static_cast<bool>(file.handle);
            // A file that is in use cannot be judged now, nor set aside.
            if (!trusted && file.error == ERROR_SHARING_VIOLATION) continue;
        }
        if (!trusted) SetFileAside(path, kUnprotected);
    }
}

std::string DateText() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

}  // namespace

void SecureDataFolders() {
    ProgramFolders& folders = Folders();
    folders.TrustedWriters = {kAdministratorsSid, kLocalSystemSid};
    folders.FinalDataFolder.clear();
    SecureFolder(folders.DataFolder);
    SecureFolder(folders.DatabaseFolder);
    std::string final = ResolvedPath(WithoutClosingBackslash(folders.DataFolder));
    if (!final.empty() && final.back() != '\\') final += '\\';
    folders.FinalDataFolder = final;
    SetAsideUnprotected(folders.DatabaseFolder);
}

std::string FolderTrustProblem(const std::string& folder) {
    const std::string problem = NamedFolderProblem(folder);
    if (!problem.empty()) return problem;
    const std::optional<SecurityView> view = FolderSecurity(WithoutClosingBackslash(folder));
    if (!view || OthersCanChange(*view, Folders().TrustedWriters)) {
        return folder + " could be changed by programs without administrator rights";
    }
    return "";
}

std::string DataFolderTrustProblem() {
    std::string problem = FolderTrustProblem(Folders().DataFolder);
    if (problem.empty()) problem = FolderTrustProblem(Folders().DatabaseFolder);
    return problem;
}

bool OthersCanChangeFile(HANDLE file) {
    const std::optional<SecurityView> view = SecurityOf(file);
    return !view || OthersCanChange(*view, Folders().TrustedWriters);
}

NamedFile OpenTrustedFile(const std::string& path, DWORD access, DWORD share) {
    NamedFile file = OpenNamedFile(path, access | READ_CONTROL, share);
    if (file.handle && OthersCanChangeFile(file.handle.get())) {
        file.handle.reset();
        file.problem = path + " could be changed by programs without administrator rights";
    }
    return file;
}

UniqueHandle WriteTrustedFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileAtomically(path, bytes);
    NamedFile file = OpenTrustedFile(path, GENERIC_READ, FILE_SHARE_READ);
    if (!file.handle) {
        DeleteFileA(path.c_str());
        throw AppError(file.problem);
    }
    return std::move(file.handle);
}

std::string SetFileAside(const std::string& path, const std::string& why) {
    const std::string base = path + "." + why + "-" + DateText();
    for (int n = 1; n <= 100; ++n) {
        const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) return aside;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return "";
    }
    return "";
}

}  // namespace tolvar
