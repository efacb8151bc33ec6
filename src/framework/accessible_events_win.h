#pragma once

// The announcements accessibility clients hear (NotifyWinEvent): a focus,
// name, value or state change of a control. They are raised once the
// handler that made the change is done, each control and kind once however
// often it changed meanwhile, so a busy display costs one announcement per
// refresh, never one per change.

#include <windows.h>

#include <utility>
#include <vector>

namespace tolvar {

class Control;

class AccessibleEvents {
public:
    AccessibleEvents() = default;
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    // Raises event for control later, from the message loop. A newer focus
    // replaces one not yet raised: only where the focus came to rest counts.
    void queue(const Control& control, DWORD event);
    // The control is going: nothing is raised for it any more.
    void forget(const Control& control);
    // Raises what is queued, in order, for the controls still showing.
    void flush();

    std::size_t pending() const { return pending_.size(); }

private:
    std::vector<std::pair<const Control*, DWORD>> pending_;
    // Those being raised: a control that goes meanwhile is taken out here too.
    std::vector<std::pair<const Control*, DWORD>> raising_;
    bool scheduled_ = false;
};

// Where a client finds a control: its window, the object id and the child
// id (CHILDID_SELF for a control with a window of its own).
struct AccessibleAddress {
    HWND window = nullptr;
    LONG child = 0;
};
AccessibleAddress AddressOf(const Control& control);

}  // namespace tolvar
