#include "framework/accessible_events_win.h"

#include <algorithm>

#include "framework/accessible_children_win.h"
#include "framework/application_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

void AccessibleEvents::queue(const Control& control, DWORD event) {
    if (event == EVENT_OBJECT_FOCUS) {
        std::erase_if(pending_, [](const auto& p) { return p.second == EVENT_OBJECT_FOCUS; });
    }
    const std::pair<const Control*, DWORD> entry{&control, event};
    if (std::find(pending_.begin(), pending_.end(), entry) == pending_.end()) {
        pending_.push_back(entry);
    }
    if (scheduled_) return;
    if (Application* app = Application::current()) {
        scheduled_ = true;
        app->post([this] { flush(); });
    }
}

void AccessibleEvents::forget(const Control& control) {
    std::erase_if(pending_, [&](const auto& p) { return p.first == &control; });
    for (auto& entry : raising_) {
        if (entry.first == &control) entry.first = nullptr;
    }
}

void AccessibleEvents::flush() {
    scheduled_ = false;
    // A client that asks back while it is told may change the display and
    // queue more: those wait for the next round.
    raising_ = std::exchange(pending_, {});
    for (std::size_t i = 0; i < raising_.size(); ++i) {
        const Control* control = raising_[i].first;
        if (!control || !control->showing()) continue;
        const AccessibleAddress at = AddressOf(*control);
        if (at.window) NotifyWinEvent(raising_[i].second, at.window, OBJID_CLIENT, at.child);
    }
    raising_.clear();
}

AccessibleAddress AddressOf(const Control& control) {
    if (control.isWindowed()) {
        return AccessibleAddress{static_cast<const WindowedControl&>(control).handle(),
                                 CHILDID_SELF};
    }
    const WindowedControl* parent = control.parent();
    if (!parent) return {};
    return AccessibleAddress{parent->handle(), AccessibleChildId(*parent, control)};
}

}  // namespace tolvar
