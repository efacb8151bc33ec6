#include "updates/database_install.h"

#include <windows.h>

#include <optional>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "updates/database_header.h"
#include "updates/md5.h"

namespace tolvar {

namespace {

// Reads up to size bytes; fewer only at the end of the file.
bool ReadSome(HANDLE file, std::string& buffer, std::size_t size) {
    buffer.resize(size);
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(size), &read, nullptr)) return false;
    buffer.resize(read);
    return true;
}

}  // namespace

void InspectDownload(const std::string& file, TransferOutcome& outcome) {
    outcome.fileExists = false;
    outcome.fileSize = 0;
    outcome.isDatabase = false;
    outcome.bodyMatches = false;
    UniqueHandle in(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.get(), &size)) return;
    outcome.fileExists = true;
    outcome.fileSize = static_cast<std::uint64_t>(size.QuadPart);
    std::string header;
    if (!ReadSome(in.get(), header, kDatabaseHeaderSize)) return;
    const std::optional<DatabaseHeader> parsed = ReadDatabaseHeader(header, outcome.fileSize);
    // A database as a mirror publishes it carries its body's MD5; one an
    // updater built from patches does not, and is no .cvd to install.
    outcome.isDatabase = parsed && parsed->bodyMd5;
    if (!outcome.isDatabase) return;
    Md5 body;
    std::string chunk;
    for (;;) {
        if (!ReadSome(in.get(), chunk, 64 * 1024)) return;
        if (chunk.empty()) break;
        body.Update(chunk);
    }
    outcome.bodyMatches = body.HexDigest() == *parsed->bodyMd5;
}

bool InstallDatabase(const std::string& downloadFile, const std::string& liveFile) {
    return MoveFileExA(downloadFile.c_str(), liveFile.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string ConfiguredMirror() {
    try {
        return RegistryKey("mirror").ReadText();
    } catch (const AppError&) {
        return "";
    }
}

void StoreConfiguredMirror(const std::string& mirror) {
    const std::size_t first = mirror.find_first_not_of(" \t");
    const std::size_t last = mirror.find_last_not_of(" \t");
    RegistryKey("mirror").WriteText(
        first == std::string::npos ? std::string() : mirror.substr(first, last - first + 1));
}

}  // namespace tolvar
