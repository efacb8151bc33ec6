#include "framework/edit_win.h"

namespace tolvar {

Edit::Edit(WindowedControl& parent, int left, int top, int width, int height,
           const std::string& text)
    : WindowedControl(&parent) {
    bounds_ = Bounds{left, top, width, height};
    // Named by the label beside it (accessible.name); its text is its value.
    accessible.role = AccessibleRole::Text;
    accessible.value = [this] { return this->text(); };
    createHandle(WS_EX_CLIENTEDGE, "EDIT", text.c_str(), WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL,
                 parent.handle(), true);
    useControlFont();
}

std::string Edit::text() const {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(handle())) + 1, '\0');
    const int got = GetWindowTextA(handle(), text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void Edit::setText(const std::string& text) {
    SetWindowTextA(handle(), text.c_str());
}

void Edit::command(WORD notification) {
    if (notification == EN_CHANGE && onChange) onChange();
    if (notification == EN_KILLFOCUS && onExit) onExit();
}

}  // namespace tolvar
