#pragma once

// One copy of the program at a time. Two copies would each rewrite the
// vault's records and the settings from what they hold in memory, and the
// one writing last would drop what the other stored.
//
// A running copy holds a global name that only the Administrators and
// SYSTEM may open, owned by the Administrators. Any program may make a
// global name first, though, so a name there that no copy of the program
// made (one this start may not open, or one not owned by the Administrators
// or SYSTEM) does not count. The copies meet under a second name as well,
// in a private namespace bounded by the Administrators, which a program
// without their rights cannot make; every copy holds both names where it
// can, so a copy that started while a stranger held the first name is still
// found. A system without private namespaces (Wine) has the first name
// only. The setup (installer/setup.nsi) looks for a running copy by the same
// rules.

#include <memory>
#include <string>

namespace tolvar {

class SingleInstance {
public:
    // Claims the program's names for this process, for as long as this
    // object lives.
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True while another copy of the program holds a name.
    bool AnotherCopyRuns() const;
    // Waits up to timeoutMs for the other copy to end and claims the names
    // afresh then; true when this process holds them.
    bool WaitForTheOtherToEnd(unsigned long timeoutMs);

private:
    struct Names;
    std::unique_ptr<Names> names_;
};

// What came of a start that found another copy running.
enum class RunningCopy {
    BroughtForward,  // its main window came to the front: this start ends
    Ended,           // it ended meanwhile: this start runs, holding the names
    NotAnswering,    // it holds the names but never answered: this start ends
};

// Asks the running copy's main window to come to the front, from the tray or
// the taskbar. True when it answered that it did (a copy still showing its
// splash has no main window yet; one being ended no longer answers).
bool BringRunningCopyForward();

// For a start that found another copy running: brings that copy's main
// window forward, trying for up to waitMs while none answers yet (the copy
// may be showing its splash, or be ending).
RunningCopy LeaveToRunningCopy(SingleInstance& instance, unsigned long waitMs = 15000);

// What a start that ends because the running copy never answered tells.
std::string NotAnsweringNotice();

}  // namespace tolvar
