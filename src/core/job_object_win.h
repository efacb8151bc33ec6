#pragma once

// A job object whose processes end when its last handle closes: the
// children put into it cannot outlive the program, even when the program
// is killed or crashes (the system closes its handles then).

#include <windows.h>

#include <string>

#include "core/handles_win.h"

namespace tolvar {

class KillOnCloseJob {
public:
    // Throws AppError when the system refuses the job or its limit.
    KillOnCloseJob();

    // Starts commandLine (its first word naming executable) in folder,
    // without a window and without our handles, inside the job before it
    // runs a single instruction. Nothing on failure, with why in error.
    UniqueHandle Start(const std::string& executable, std::string commandLine,
                       const std::string& folder, std::string& error);

    HANDLE get() const { return job_.get(); }

private:
    UniqueHandle job_;
};

}  // namespace tolvar
