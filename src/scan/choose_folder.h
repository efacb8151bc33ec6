#pragma once

// The shell's folder picker, centred on the screen and owned by the window
// that opened it (the active window).

#include <string>

namespace tolvar {

// The folder the user picked, or "" when the picker was cancelled. Flags are
// the picker's (1: file-system folders only).
std::string ChooseFolder(const std::string& title, unsigned flags);

}  // namespace tolvar
