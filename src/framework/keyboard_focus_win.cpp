#include "framework/keyboard_focus_win.h"

#include <algorithm>

#include "framework/form_win.h"

namespace tolvar {

namespace {

void CollectControls(const WindowedControl& parent, std::vector<Control*>& out) {
    for (const auto& child : parent.children()) {
        out.push_back(child.get());
        if (child->isWindowed()) CollectControls(static_cast<WindowedControl&>(*child), out);
    }
}

bool IsRadio(const Control& control) {
    return control.accessibleRole() == AccessibleRole::RadioButton;
}

bool IsPushable(const Control& control) {
    const AccessibleRole role = control.accessibleRole();
    return role == AccessibleRole::PushButton || role == AccessibleRole::Link;
}

bool WantsKey(const Control* control, int key) {
    return control && control->isWindowed() &&
           static_cast<const WindowedControl*>(control)->wantsKey(key);
}

bool Checked(const Control& control) {
    return control.isWindowed() &&
           SendMessageA(static_cast<const WindowedControl&>(control).handle(), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
}

bool HoldsFocus(const Control& control) {
    return control.isWindowed() &&
           GetFocus() == static_cast<const WindowedControl&>(control).handle();
}

}  // namespace

Control* KeyboardFocus::controlOfWindow(HWND window) const {
    WindowedControl* control = WindowedControl::fromHandle(window);
    if (!control || control->form() != &form_) return nullptr;
    return control;
}

Control* KeyboardFocus::focused() const {
    const HWND holder = GetFocus();
    if (!holder) return nullptr;
    if (graphic_ && graphic_->parent() && graphic_->parent()->handle() == holder) {
        // A button hidden under the focus (a view swapped for another) has
        // it no more: Enter must not go to what cannot be seen.
        return graphic_->showing() ? graphic_ : nullptr;
    }
    Control* control = controlOfWindow(holder);
    // The window itself or one of its pages holds the focus for no control.
    if (!control || control == &form_ || !control->tabStop()) return nullptr;
    return control;
}

const Control* KeyboardFocus::focusedGraphic() const {
    const Control* current = focused();
    return current && !current->isWindowed() ? current : nullptr;
}

void KeyboardFocus::repaint(const Control* control) const {
    if (control && !control->isWindowed())
        control->parent()->invalidateArea(RECT{control->bounds().left, control->bounds().top,
                                               control->bounds().right(),
                                               control->bounds().bottom()});
}

bool KeyboardFocus::focus(Control& control) {
    if (!control.canFocus()) return false;
    Control* before = focused();
    if (control.isWindowed()) {
        repaint(graphic_);
        graphic_ = nullptr;
        SetFocus(static_cast<WindowedControl&>(control).handle());
        // A standard control announces its own focus.
        return HoldsFocus(control);
    }
    repaint(graphic_);
    graphic_ = &control;
    const HWND holder = control.parent()->handle();
    if (GetFocus() != holder) SetFocus(holder);
    repaint(graphic_);
    if (before != &control) control.announce(EVENT_OBJECT_FOCUS);
    return GetFocus() == holder;
}

std::vector<Control*> KeyboardFocus::tabStops() const {
    std::vector<Control*> candidates;
    if (order_.empty()) {
        CollectControls(form_, candidates);
    } else {
        candidates = order_;
    }
    std::vector<Control*> stops;
    std::vector<const Control*> radiosTaken;
    for (Control* c : candidates) {
        if (!c->canFocus()) continue;
        if (!IsRadio(*c)) {
            stops.push_back(c);
            continue;
        }
        // A group of radio buttons is one stop: its checked button, else
        // its first.
        if (std::find(radiosTaken.begin(), radiosTaken.end(), c) != radiosTaken.end()) continue;
        const std::vector<Control*> group = radioSiblings(*c);
        radiosTaken.insert(radiosTaken.end(), group.begin(), group.end());
        Control* stop = c;
        for (Control* r : group) {
            if (r->canFocus() && Checked(*r)) stop = r;
        }
        stops.push_back(stop);
    }
    return stops;
}

std::vector<Control*> KeyboardFocus::radioSiblings(const Control& control) const {
    std::vector<Control*> group;
    for (const auto& sibling : control.parent()->children()) {
        if (IsRadio(*sibling)) group.push_back(sibling.get());
    }
    return group;
}

bool KeyboardFocus::moveByTab(bool backwards) {
    const std::vector<Control*> stops = tabStops();
    if (stops.empty()) return false;
    Control* current = focused();
    auto at = std::find(stops.begin(), stops.end(), current);
    if (at == stops.end() && current && IsRadio(*current)) {
        // From any button of a radio group: the group's stop.
        const std::vector<Control*> group = radioSiblings(*current);
        at = std::find_first_of(stops.begin(), stops.end(), group.begin(), group.end());
    }
    const auto n = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t next = 0;
    if (at == stops.end()) {
        next = backwards ? n - 1 : 0;
    } else {
        next = ((at - stops.begin()) + (backwards ? n - 1 : 1)) % n;
    }
    return focus(*stops[static_cast<std::size_t>(next)]);
}

const std::vector<Control*>* KeyboardFocus::groupOf(const Control& control) const {
    for (const auto& group : groups_) {
        if (std::find(group.begin(), group.end(), &control) != group.end()) return &group;
    }
    return nullptr;
}

bool KeyboardFocus::moveInGroup(Control& current, bool backwards) {
    std::vector<Control*> members;
    if (const auto* declared = groupOf(current)) {
        members = *declared;
    } else if (IsRadio(current)) {
        members = radioSiblings(current);
    } else {
        return false;
    }
    const auto at = std::find(members.begin(), members.end(), &current);
    if (at == members.end()) return false;
    const auto n = static_cast<std::ptrdiff_t>(members.size());
    std::ptrdiff_t i = at - members.begin();
    for (std::ptrdiff_t step = 1; step < n; ++step) {
        i = (i + (backwards ? n - 1 : 1)) % n;
        Control& next = *members[static_cast<std::size_t>(i)];
        if (!next.canFocus()) continue;
        if (!focus(next)) return false;
        // The selection follows the focus among radio buttons.
        if (IsRadio(next)) next.press();
        return true;
    }
    return false;
}

Control* KeyboardFocus::accessKeyTarget(char key) const {
    std::vector<Control*> all;
    CollectControls(form_, all);
    for (Control* c : all) {
        if (c->accessKey() == key && c->showing() && c->enabledInWindow()) return c;
    }
    return nullptr;
}

bool KeyboardFocus::press(Control* button) {
    if (!button || !button->showing() || !button->enabledInWindow()) return false;
    button->press();
    return true;
}

void KeyboardFocus::showCues() {
    if (cues_) return;
    cues_ = true;
    repaint(graphic_);
}

bool KeyboardFocus::handleKey(const MSG& msg) {
    const int key = static_cast<int>(msg.wParam);
    // A key held down repeats: one press is one command.
    const bool repeated = (msg.lParam & (LPARAM{1} << 30)) != 0;
    if (msg.message == WM_SYSKEYDOWN) {
        const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
        if (!letter) return false;
        Control* target = accessKeyTarget(static_cast<char>(key));
        if (!target) return false;
        showCues();
        if (repeated) return true;
        focus(*target);
        const AccessibleRole role = target->accessibleRole();
        if (IsPushable(*target) || role == AccessibleRole::CheckButton || IsRadio(*target)) {
            target->press();
        }
        return true;
    }
    if (msg.message != WM_KEYDOWN) return false;
    if (GetKeyState(VK_MENU) < 0) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    Control* current = focused();
    switch (key) {
        case VK_TAB:
            if (control) return false;
            showCues();
            moveByTab(shift);
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            // Lists and edits move through their own rows and text.
            if (!current || (current->isWindowed() && !IsRadio(*current))) return false;
            if (!moveInGroup(*current, key == VK_LEFT || key == VK_UP)) return false;
            showCues();
            return true;
        }
        case VK_RETURN: {
            if (control || WantsKey(current, key)) return false;
            Control* target = current && IsPushable(*current) ? current : default_;
            if (!target) return false;
            if (!repeated) press(target);
            return true;
        }
        case VK_SPACE:
            // Standard buttons press themselves on Space.
            if (!current || current->isWindowed() || !IsPushable(*current)) return false;
            if (!repeated) press(current);
            return true;
        case VK_ESCAPE:
            if (!cancel_ || WantsKey(current, key)) return false;
            if (!repeated) press(cancel_);
            return true;
        default:
            return false;
    }
}

void KeyboardFocus::reset() {
    repaint(graphic_);
    graphic_ = nullptr;
    saved_ = nullptr;
    BOOL alwaysCues = FALSE;
    cues_ = SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &alwaysCues, 0) && alwaysCues;
}

bool KeyboardFocus::activated() {
    Control* remembered = controlOfWindow(saved_);
    saved_ = nullptr;
    if (remembered && remembered != &form_) {
        // A window that held the focus for a graphic control gives it back
        // to that control.
        if (!remembered->tabStop() && graphic_ && graphic_->parent() == remembered &&
            focus(*graphic_)) {
            return true;
        }
        if (remembered->tabStop() && focus(*remembered)) return true;
    }
    if (default_ && focus(*default_)) return true;
    const std::vector<Control*> stops = tabStops();
    return !stops.empty() && focus(*stops.front());
}

void KeyboardFocus::deactivated() {
    const HWND holder = GetFocus();
    if (holder && (holder == form_.handle() || IsChild(form_.handle(), holder))) saved_ = holder;
}

void KeyboardFocus::moved(const Control& control) {
    if (&control != graphic_) return;
    const HWND holder = GetFocus();
    // The old window held the focus for it; the new one takes it over.
    if (holder && WindowedControl::fromHandle(holder) != control.parent() && control.canFocus() &&
        controlOfWindow(holder) && !controlOfWindow(holder)->tabStop()) {
        SetFocus(control.parent()->handle());
    }
}

}  // namespace tolvar
