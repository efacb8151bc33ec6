#include "ui/program_windows_win.h"

namespace tolvar {

ProgramWindows& Windows() {
    static ProgramWindows windows;
    return windows;
}

}  // namespace tolvar
