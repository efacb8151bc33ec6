#include "framework/panel_win.h"

#include "framework/window_classes.h"

namespace tolvar {

Panel::Panel(WindowedControl& parent, int left, int top, int width, int height)
    : WindowedControl(&parent) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::Pane;
    setColor(parent.color());
    createHandle(WS_EX_CONTROLPARENT, window_class::kPanel, "",
                 WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, parent.handle(), false);
}

}  // namespace tolvar
