#pragma once

// A plain child window without bevel: the pages and views of the main window.

#include "framework/windowed_control_win.h"

namespace tolvar {

class Panel : public WindowedControl {
public:
    Panel(WindowedControl& parent, int left, int top, int width, int height);
};

}  // namespace tolvar
