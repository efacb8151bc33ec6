#pragma once

namespace tolvar {

// True on Windows versions with major version 6 or higher.
bool IsNewWindowsVersion();

}  // namespace tolvar
