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
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True while another copy of the program holds the name.
    bool AnotherCopyRuns() const { return anotherCopy_; }
    // Waits up to timeoutMs for the other copy to end and claims the name
    // then; true when this process holds it.
    bool WaitForTheOtherToEnd(unsigned long timeoutMs);

private:
    UniqueHandle claim_;
    bool anotherCopy_ = false;
};

// Asks the running copy's main window to come to the front, from the tray or
// the taskbar. True when it answered that it did (a copy still showing its
// splash has no main window yet; one being ended no longer answers).
bool BringRunningCopyForward();

// For a start that found another copy running: brings that copy's main
// window forward, waiting a while when none answers yet (the copy may be
// showing its splash, or be ending). True when this start is to end; false
// when the other copy ended meanwhile and this one holds the name now.
bool LeaveToRunningCopy(SingleInstance& instance);

}  // namespace tolvar
