#pragma once

#include <windows.h>

#include <string>

namespace tolvar {

// The system's own words for an error code, for messages to the user.
std::string SystemErrorText(DWORD code);

}  // namespace tolvar
