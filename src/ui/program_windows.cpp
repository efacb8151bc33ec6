#include "ui/program_windows.h"

namespace tolvar {

ProgramWindows& Windows() {
    static ProgramWindows windows;
    return windows;
}

}  // namespace tolvar
