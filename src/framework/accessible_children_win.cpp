#include "framework/accessible_children_win.h"

#include "framework/windowed_control_win.h"

namespace tolvar {

bool IsExposed(const Control& control) {
    return control.isWindowed() || control.accessibleRole() != AccessibleRole::None;
}

std::vector<Control*> ExposedChildren(const WindowedControl& parent) {
    std::vector<Control*> exposed;
    for (const auto& child : parent.children()) {
        if (IsExposed(*child)) exposed.push_back(child.get());
    }
    return exposed;
}

LONG AccessibleChildId(const WindowedControl& parent, const Control& child) {
    LONG id = 0;
    for (const auto& c : parent.children()) {
        if (!IsExposed(*c)) continue;
        ++id;
        if (c.get() == &child) return id;
    }
    return 0;
}

}  // namespace tolvar
