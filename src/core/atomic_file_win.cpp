#include "core/atomic_file.h"

#include <windows.h>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/temporary_file_win.h"

namespace tolvar {

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    // A fixed name such as path + ".new" could be a file of its own.
    TemporaryFile made = CreateTemporaryBeside(path);
    const std::string temporary = made.path;
    {
        UniqueHandle file = std::move(made.handle);
        if (!file) throw AppError("Cannot write file " + path);
        DWORD written = 0;
        const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                  &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file.get());
        if (!ok) {
            file.reset();
            DeleteFileA(temporary.c_str());
            throw AppError("Cannot write file " + path);
        }
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        throw AppError("Cannot write file " + path);
    }
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw AppError("Cannot read file " + path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 28)) {
        throw AppError("Cannot read file " + path);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        throw AppError("Cannot read file " + path);
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace tolvar
