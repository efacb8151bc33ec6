#pragma once

// Which children of a window an accessibility client sees, and the child
// ids it knows them by: every control with a window of its own, and every
// graphic control with a role, in the window's paint order, numbered from 1.

#include <windows.h>

#include <vector>

namespace tolvar {

class Control;
class WindowedControl;

bool IsExposed(const Control& control);
std::vector<Control*> ExposedChildren(const WindowedControl& parent);
// 1 for the first exposed child; 0 when child is not one of them.
LONG AccessibleChildId(const WindowedControl& parent, const Control& child);

}  // namespace tolvar
