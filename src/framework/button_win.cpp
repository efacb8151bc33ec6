#include "framework/button_win.h"

namespace tolvar {

Button::Button(WindowedControl& parent, int left, int top, int width, int height,
               const std::string& caption)
    : WindowedControl(&parent) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::PushButton;
    createHandle(0, "BUTTON", caption.c_str(), WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON,
                 parent.handle(), true);
    useControlFont();
}

void Button::command(WORD notification) {
    if (notification == BN_CLICKED) click();
}

}  // namespace tolvar
