#include "framework/check_box_win.h"

namespace tolvar {

CheckBox::CheckBox(WindowedControl& parent, int left, int top, int width, int height,
                   const std::string& caption)
    : WindowedControl(&parent) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::CheckButton;
    createHandle(0, "BUTTON", caption.c_str(), WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX,
                 parent.handle(), true);
    useControlFont();
}

bool CheckBox::checked() const {
    return SendMessageA(handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::setChecked(bool checked) {
    SendMessageA(handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::press() {
    setChecked(!checked());
    click();
}

void CheckBox::command(WORD notification) {
    if (notification == BN_CLICKED) click();
}

}  // namespace tolvar
