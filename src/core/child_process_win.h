#pragma once

// Console programs the program runs (the scanner, the updater) with their
// standard handles on pipes: the child inherits its own ends and nothing
// else of ours, and we let go of its ends once it has them, or the pipes
// would never break when it ends.

#include <windows.h>

#include <optional>
#include <string>

#include "core/handles_win.h"

namespace tolvar {

// A pipe between us and a child: the end the child inherits and ours.
struct ChildPipe {
    UniqueHandle childs;
    UniqueHandle ours;
};
enum class ChildEnd { Reads, Writes };
// Nothing when no pipe could be made (GetLastError says why).
std::optional<ChildPipe> MakeChildPipe(ChildEnd child);

// The standard handles a child starts with; each must be inheritable.
struct ChildHandles {
    HANDLE input = nullptr;
    HANDLE output = nullptr;  // its standard output and its errors
};

// A started child, or the system error that kept it from starting.
struct StartedChild {
    UniqueHandle process;
    DWORD error = 0;
};
// Starts commandLine without a console of its own, in folder. executable
// may be empty: then the command line's first word names the program.
StartedChild StartChild(const std::string& executable, std::string commandLine,
                        const std::string& folder, ChildHandles handles);

}  // namespace tolvar
