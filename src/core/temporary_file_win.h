#pragma once

// A temporary file that grows beside the file it will become. Its name is
// new: it is created exclusively, so no file already there (a vaulted file
// called "setup.exe.part", say) is ever opened or replaced by it.

#include <windows.h>

#include <string>

#include "core/handles_win.h"

namespace tolvar {

struct TemporaryFile {
    UniqueHandle handle;  // open for writing; none when it could not be made
    std::string path;
    DWORD error = 0;  // why it could not be made
};

// Creates an empty file in the folder of `beside` (the text up to its last
// backslash) under a name no file there has, open with `access` and no
// sharing.
TemporaryFile CreateTemporaryBeside(const std::string& beside, DWORD access = GENERIC_WRITE);

}  // namespace tolvar
