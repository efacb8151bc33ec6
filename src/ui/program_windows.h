#pragma once

// The program's windows other than the main one, made at program entry in
// their fixed order; the scan and the other commands show them from here.

#include <functional>

#include "ui/removal_windows.h"
#include "ui/result_windows.h"
#include "ui/scan_windows.h"

namespace tolvar {

struct ProgramWindows {
    TForm3* Form3 = nullptr;
    TForm6* Form6 = nullptr;
    TForm7* Form7 = nullptr;
    TForm16* Form16 = nullptr;
    TForm17* Form17 = nullptr;
    ScanFailedForm* ScanFailed = nullptr;
    // The infections-found prompt after a scan.
    std::function<void()> InfectionsFound;
};

ProgramWindows& Windows();

}  // namespace tolvar
