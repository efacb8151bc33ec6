#pragma once

// Copies between the user's folders and the vault that never leave a
// half-written file behind and never replace a file by accident.

#include <windows.h>

#include <string>

#include "quarantine/copy_writes.h"

namespace tolvar {

enum class Existing { Fail, Replace };

// WriteFile: a short write counts as a full disk.
WriteChunk SystemWrites();

struct CopyResult {
    std::string failure;  // "" for success
    DWORD error = 0;      // the system's error code of the failure, if any
    bool DiskFull() const { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }
};

// Copies the whole content of source (an open handle, read from where it
// stands) to target. The copy grows in a new file beside target under a
// name no other file has, which must be reached as named (no junction or
// link along target's folder); it is flushed, checked to be as long as what
// was read, and only then given target's name: with Existing::Fail never in
// place of a file already there. On failure target is as it was and the
// temporary file is gone.
CopyResult CopyToFile(HANDLE source, const std::string& sourceName, const std::string& target,
                      Existing existing, const WriteChunk& write = SystemWrites());

}  // namespace tolvar
