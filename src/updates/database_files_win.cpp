#include "updates/database_files.h"

#include <windows.h>

#include "core/app_error.h"
#include "core/folder_files_win.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "updates/database_header.h"
#include "updates/scan_databases.h"

namespace tolvar {

namespace {

// The transfers' own files: "tdl" and four hexadecimal digits, ".tmp".
constexpr const char* kTransferPrefix = "tdl";

std::optional<int> HeaderVersion(const std::string& folder, const std::string& name) {
    UniqueHandle in(CreateFileA((folder + name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.get(), &size)) return std::nullopt;
    std::string header(kDatabaseHeaderSize, '\0');
    DWORD read = 0;
    if (!ReadFile(in.get(), header.data(), static_cast<DWORD>(header.size()), &read, nullptr)) {
        return std::nullopt;
    }
    header.resize(read);
    return CountedVersion(name, header, static_cast<std::uint64_t>(size.QuadPart));
}

}  // namespace

void RemoveStaleDownloads() {
    const std::string& folder = Folders().DatabaseFolder;
    for (const char* name : {"main2.cvd", "daily2.cvd"}) {
        DeleteFileA((folder + name).c_str());
    }
    for (const std::string& name : FilesMatching(folder, std::string(kTransferPrefix) + "*.tmp"))
        DeleteFileA((folder + name).c_str());
}

std::string NewTransferFile(const std::string& databaseFolder) {
    char name[MAX_PATH];
    if (!GetTempFileNameA(databaseFolder.c_str(), kTransferPrefix, 0, name)) {
        throw AppError("Cannot make a file for the download in " + databaseFolder + ": " +
                       SystemErrorText(GetLastError()));
    }
    return name;
}

std::vector<std::string> ScanDatabaseFiles(const std::string& databaseFolder) {
    std::vector<DatabaseFileFound> found;
    for (const char* pattern : {"*.cvd", "*.cld"}) {
        for (std::string& name : FilesMatching(databaseFolder, pattern)) {
            std::optional<int> version = HeaderVersion(databaseFolder, name);
            found.push_back(DatabaseFileFound{std::move(name), version});
        }
    }
    for (const char* list : {kAllowListFile, kIgnoreListFile}) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA((databaseFolder + list).c_str(), GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::uint64_t size =
                (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            found.push_back(DatabaseFileFound{list, std::nullopt, size});
        }
    }
    std::vector<std::string> files;
    for (const std::string& name : ChooseScanDatabases(found))
        files.push_back(databaseFolder + name);
    return files;
}

}  // namespace tolvar
