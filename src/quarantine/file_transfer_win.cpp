#include "quarantine/file_transfer_win.h"

#include <vector>

#include "core/handles_win.h"
#include "core/named_file_win.h"
#include "core/system_error_win.h"
#include "core/temporary_file_win.h"

namespace tolvar {

namespace {

CopyResult Failed(const std::string& what, DWORD error) {
    return {what + ": " + SystemErrorText(error), error};
}

}  // namespace

WriteChunk SystemWrites() {
    return [](void* file, const char* data, unsigned long size) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr)) return false;
        if (written == size) return true;
        SetLastError(ERROR_DISK_FULL);  // a short write is a disk that ran out of room
        return false;
    };
}

CopyResult CopyToFile(HANDLE source, const std::string& sourceName, const std::string& target,
                      Existing existing, const WriteChunk& write) {
    TemporaryFile made = CreateTemporaryBeside(target, GENERIC_READ | GENERIC_WRITE | DELETE);
    if (!made.handle) return Failed("cannot create a file beside " + target, made.error);
    UniqueHandle out = std::move(made.handle);
    // The new file's own final path shows whether its folder is the folder
    // meant, as it stands now, after the file was made in it.
    CopyResult result;
    const std::string problem = FileReachedAsNamed(out.get(), made.path);
    if (!problem.empty())
        result = {"cannot create " + target + ": " + problem, ERROR_ACCESS_DENIED};
    std::vector<char> buffer(1 << 16);
    LONGLONG copied = 0;
    while (result.failure.empty()) {
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            result = Failed("cannot read " + sourceName, GetLastError());
            break;
        }
        if (got == 0) break;
        if (!write(out.get(), buffer.data(), got)) {
            result = Failed("cannot write " + target, GetLastError());
            break;
        }
        copied += got;
    }
    if (result.failure.empty() && !FlushFileBuffers(out.get())) {
        result = Failed("cannot write " + target, GetLastError());
    }
    LARGE_INTEGER written{};
    LARGE_INTEGER size{};
    if (result.failure.empty() &&
        (!GetFileSizeEx(out.get(), &written) || written.QuadPart != copied ||
         !GetFileSizeEx(source, &size) || size.QuadPart != copied)) {
        result = {"the copy of " + sourceName + " is incomplete", ERROR_WRITE_FAULT};
    }
    if (!result.failure.empty()) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(out.get(), FileDispositionInfo, &disposition,
                                   sizeof disposition);
        return result;
    }
    out.reset();
    // Without MOVEFILE_REPLACE_EXISTING the rename fails when target exists,
    // however recently it appeared.
    const DWORD flags =
        MOVEFILE_WRITE_THROUGH | (existing == Existing::Replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExA(made.path.c_str(), target.c_str(), flags)) {
        result = Failed("cannot create " + target, GetLastError());
        DeleteFileA(made.path.c_str());
    }
    return result;
}

}  // namespace tolvar
