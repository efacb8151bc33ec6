#pragma once

// Owners of the kernel and shell resources the program holds: each is
// released exactly once, when its one owner goes.

#include <windows.h>

#include "core/unique_resource.h"

namespace tolvar {

namespace handle_traits {

// Files answer INVALID_HANDLE_VALUE for "none", most other calls null.
struct Kernel {
    using Value = HANDLE;
    static Value None() { return nullptr; }
    static bool IsNone(Value v) { return v == nullptr || v == INVALID_HANDLE_VALUE; }
    static void Release(Value v) { CloseHandle(v); }
};

struct Find {
    using Value = HANDLE;
    static Value None() { return INVALID_HANDLE_VALUE; }
    static bool IsNone(Value v) { return v == INVALID_HANDLE_VALUE || v == nullptr; }
    static void Release(Value v) { FindClose(v); }
};

inline void UnloadLibrary(HMODULE m) {
    FreeLibrary(m);
}
inline void FreeLocal(void* p) {
    LocalFree(p);
}

}  // namespace handle_traits

// A kernel object handle (thread, process, pipe end, event, file).
using UniqueHandle = UniqueResource<handle_traits::Kernel>;
// A library the program loaded itself, freed with its owner.
using UniqueModule = UniqueResource<NullIsNone<HMODULE, &handle_traits::UnloadLibrary>>;
// A file search of FindFirstFile, closed with FindClose.
using FindHandle = UniqueResource<handle_traits::Find>;
// Memory the system allocated with LocalAlloc for the caller (FormatMessage).
using LocalMemory = UniqueResource<NullIsNone<void*, &handle_traits::FreeLocal>>;

}  // namespace tolvar
