#pragma once

// Where a restore may write. The target comes from a vault record (or a
// record's file name under a folder the user picked), and the program that
// writes it runs elevated: only a plain path to a file on a drive is taken.

#include <string>

namespace tolvar {

// "" when path is an absolute path on a drive ("C:\folder\file.exe"), else
// why it is refused: no drive letter (a relative, UNC or "\\?\" path), a
// "." or ".." or empty step, a device name (CON, NUL, COM1, ... with or
// without an extension), a colon after the drive (an alternate data
// stream), a character Windows does not allow in a name, a name ending in a
// dot or a space (Windows would drop it and act on another name), or a
// path longer than Windows' 259 characters.
std::string RestoreTargetProblem(const std::string& path);

}  // namespace tolvar
