#pragma once

// What the accessibility objects of the framework's windows tell: a window
// of the program's own lists its children (skin buttons, labels and the
// progress bar as simple elements, child windows as objects of their own);
// a standard control tells its own role, name, value and state; a list box
// its rows.

#include <memory>

#include "framework/accessible_object_win.h"

namespace tolvar {

class ListBox;
class WindowedControl;

std::unique_ptr<AccessibleSource> MakeChildrenSource(WindowedControl& window);
std::unique_ptr<AccessibleSource> MakeStandardControlSource(WindowedControl& control);
std::unique_ptr<AccessibleSource> MakeListRowsSource(ListBox& list);

// How a control reads to a client: role, name, value, state, shortcut and
// default action; bounds in its parent's client area (its own for a window).
AccessibleElement DescribeControl(const Control& control);

// Presses a graphic control once the message loop runs again, so a client
// is answered before whatever the press opens: the window and the control
// are looked up afresh then, and nothing happens if either has gone.
void PressLater(const Control& control);

}  // namespace tolvar
