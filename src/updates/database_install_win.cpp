#include "updates/database_install.h"

#include <windows.h>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "updates/database_header.h"

namespace tolvar {

void InspectDownload(const std::string& file, TransferOutcome& outcome) {
    outcome.fileExists = false;
    outcome.fileSize = 0;
    outcome.isDatabase = false;
    UniqueHandle in(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.get(), &size)) return;
    outcome.fileExists = true;
    outcome.fileSize = static_cast<std::uint64_t>(size.QuadPart);
    std::string header(kDatabaseHeaderSize, '\0');
    DWORD read = 0;
    if (!ReadFile(in.get(), header.data(), static_cast<DWORD>(header.size()), &read, nullptr)) {
        return;
    }
    header.resize(read);
    outcome.isDatabase = IsSignatureDatabase(header, outcome.fileSize);
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

}  // namespace tolvar
