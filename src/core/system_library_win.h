#pragma once

// Loading a system DLL from the system folder only. The program runs
// elevated, so a DLL of the same name planted beside it or in the current
// folder must never be loaded instead.

#include <windows.h>

namespace tolvar {

// The library from the system folder, or null (GetLastError says why).
HMODULE LoadSystemLibrary(const char* name);

}  // namespace tolvar
