#pragma once

// The program's windows other than the main one, made at program entry in
// their fixed order; the scan and the other commands show them from here.

#include <functional>

#include "ui/result_windows.h"

namespace tolvar {

struct ProgramWindows {
    TForm17* Form17 = nullptr;
    ScanFailedForm* ScanFailed = nullptr;
    // The infections-found prompt; until the quarantine provides it, nothing.
    std::function<void()> InfectionsFound;
};

ProgramWindows& Windows();

}  // namespace tolvar
