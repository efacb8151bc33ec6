#include "quarantine/file_transfer.h"

#include <windows.h>

#include <vector>

#include "core/handles_win.h"
#include "core/system_error_win.h"

namespace tolvar {

namespace {

std::string LastErrorText() {
    return SystemErrorText(GetLastError());
}

}  // namespace

std::string CopyFileWhole(const std::string& source, const std::string& target, Existing existing) {
    UniqueHandle in(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return "cannot open " + source + ": " + LastErrorText();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.get(), &size)) return "cannot read " + source + ": " + LastErrorText();

    if (existing == Existing::Fail &&
        GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return target + " already exists";
    }
    // The copy grows beside its target and takes its name only when whole,
    // so a failure never leaves a torn file nor destroys one already there.
    const std::string partial = target + ".part";
    UniqueHandle out(CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return "cannot create " + target + ": " + LastErrorText();

    std::string failure;
    std::vector<char> buffer(1 << 16);
    LONGLONG copied = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            failure = "cannot read " + source + ": " + LastErrorText();
            break;
        }
        if (got == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) {
            failure = "cannot write " + target + ": " + LastErrorText();
            break;
        }
        copied += got;
    }
    if (failure.empty() && !FlushFileBuffers(out.get())) {
        failure = "cannot write " + target + ": " + LastErrorText();
    }
    LARGE_INTEGER written{};
    if (failure.empty() && (!GetFileSizeEx(out.get(), &written) ||
                            written.QuadPart != size.QuadPart || copied != size.QuadPart)) {
        failure = "the copy of " + source + " is incomplete";
    }
    out.reset();
    if (failure.empty()) {
        const DWORD flags = MOVEFILE_WRITE_THROUGH |
                            (existing == Existing::Replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (!MoveFileExA(partial.c_str(), target.c_str(), flags)) {
            failure = "cannot create " + target + ": " + LastErrorText();
        }
    }
    if (!failure.empty()) DeleteFileA(partial.c_str());
    return failure;
}

}  // namespace tolvar
