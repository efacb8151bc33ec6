#pragma once

// The program's windows other than the main one, made at program entry in
// their fixed order; the scan and the other commands show them from here.

#include <functional>

#include "ui/about_window_win.h"
#include "ui/removal_windows_win.h"
#include "ui/result_windows_win.h"
#include "ui/scan_windows_win.h"
#include "ui/splash_window_win.h"

namespace tolvar {

class TForm8;
class TForm14;
class TForm15;

struct ProgramWindows {
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm6* Form6 = nullptr;
    TForm7* Form7 = nullptr;
    TForm10* Form10 = nullptr;  // the splash, hidden after program entry
    TForm16* Form16 = nullptr;
    TForm17* Form17 = nullptr;
    ScanFailedForm* ScanFailed = nullptr;
    TForm8* Form8 = nullptr;    // database download
    TForm14* Form14 = nullptr;  // download failure notice
    TForm15* Form15 = nullptr;  // update prompt
    // Opens the update settings window, not modally.
    std::function<void()> OpenUpdateSettings;
    // The infections-found prompt after a scan.
    std::function<void()> InfectionsFound;
};

ProgramWindows& Windows();

}  // namespace tolvar
