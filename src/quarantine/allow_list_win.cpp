#include "quarantine/allow_list_win.h"

#include <windows.h>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/handles_win.h"
#include "updates/md5.h"
#include "updates/scan_databases.h"

namespace tolvar {

namespace {

std::string ListText(const std::string& path) {
    if (!FileExists(path)) return {};
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteList(const std::string& path, const std::string& text, bool hasEntries) {
    if (!hasEntries) {
        if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            throw AppError("Cannot delete file " + path);
        }
        return;
    }
    WriteFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace

AllowedFile AllowedFileOf(const std::string& path, const std::string& name) {
    UniqueHandle in(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) throw AppError("Cannot read file " + path);
    Md5 sum;
    AllowedFile file;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            throw AppError("Cannot read file " + path);
        }
        if (got == 0) break;
        sum.Update(std::string_view(buffer.data(), got));
        file.size += got;
    }
    file.md5 = sum.HexDigest();
    file.name = name;
    return file;
}

std::vector<AllowedFile> AllowedFiles(const std::string& databaseFolder) {
    return ReadAllowList(ListText(databaseFolder + kAllowListFile));
}

std::vector<std::string> IgnoredNames(const std::string& databaseFolder) {
    return ReadIgnoreList(ListText(databaseFolder + kIgnoreListFile));
}

void AllowFile(const std::string& databaseFolder, const AllowedFile& file) {
    const std::string path = databaseFolder + kAllowListFile;
    WriteList(path, WithAllowed(ListText(path), file), true);
}

void TakeBackAllowed(const std::string& databaseFolder, const AllowedFile& file) {
    const std::string path = databaseFolder + kAllowListFile;
    const std::string text = WithoutAllowed(ListText(path), file.md5, file.size);
    // Lines the list keeps that are no entry (a comment) would leave ClamAV
    // a list with no signature, which it refuses as it refuses an empty one.
    WriteList(path, text, !ReadAllowList(text).empty());
}

void SetIgnoredNames(const std::string& databaseFolder, const std::vector<std::string>& names) {
    const std::string text = IgnoreListText(names);
    WriteList(databaseFolder + kIgnoreListFile, text, !text.empty());
}

}  // namespace tolvar
