#pragma once

// One copy of the program at a time. Two copies would each rewrite the
// vault's records and the settings from what they hold in memory, and the
// one writing last would drop what the other stored.

#include "core/handles_win.h"

namespace tolvar {

class SingleInstance {
public:
    // Claims the program's name for this process, for as long as this object
    // lives.
    SingleInstance();
    // True when another copy of the program held it first.
    bool AnotherCopyRuns() const { return anotherCopy_; }

private:
    UniqueHandle claim_;
    bool anotherCopy_ = false;
};

// Asks the running copy's main window to come to the front, from the tray or
// the taskbar. True when there was one to ask (a copy still showing its
// splash has none yet).
bool BringRunningCopyForward();

}  // namespace tolvar
