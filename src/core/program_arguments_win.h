#pragma once

#include <string>
#include <vector>

namespace tolvar {

// This process's arguments after its name, split as the C runtime splits
// them, in UTF-8: WinMain's own text is in the ANSI code page, which may
// lack a letter of a path.
std::vector<std::string> ThisProgramsArguments();

}  // namespace tolvar
