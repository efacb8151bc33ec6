#include "framework/spin_edit_win.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "core/app_error.h"
#include "framework/application_win.h"
#include "framework/spin_value.h"
#include "framework/window_classes.h"

namespace tolvar {

namespace {
constexpr int kArrowsWidth = 16;
}  // namespace

SpinEdit::SpinEdit(WindowedControl& parent, int left, int top, int width, int height, int minValue,
                   int maxValue)
    : WindowedControl(&parent), min_(minValue), max_(std::max(minValue, maxValue)) {
    bounds_ = Bounds{left, top, width, height};
    setColor(parent.color());
    createHandle(WS_EX_CONTROLPARENT, window_class::kPanel, "",
                 WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, parent.handle(), false);
    edit_ = &add<Edit>(0, 0, width - kArrowsWidth, height);
    edit_->onChange = [this] {
        if (onChange) onChange();
    };
    edit_->onExit = [this] {
        const std::string shown = std::to_string(value());
        if (edit_->text() != shown) edit_->setText(shown);
    };

    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);
    arrows_.reset(CreateWindowExA(0, UPDOWN_CLASSA, nullptr, WS_CHILD | WS_VISIBLE,
                                  width - kArrowsWidth, 0, kArrowsWidth, height, handle(), nullptr,
                                  Application::instance().hinstance(), nullptr));
    if (!arrows_) throw AppError("Cannot create the arrows of a number field");
    // The arrows never move their own position (each step is refused once
    // applied to the text), so they never stop at an end of their range.
    SendMessageA(arrows_.get(), UDM_SETRANGE32, 0, 2);
    SendMessageA(arrows_.get(), UDM_SETPOS32, 0, 1);
    setValue(min_);
}

int SpinEdit::value() const {
    return SpinValueFromText(edit_->text(), min_, max_);
}

void SpinEdit::setValue(int value) {
    edit_->setText(std::to_string(std::clamp(value, min_, max_)));
}

LRESULT SpinEdit::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->hwndFrom == arrows_.get() && header->code == UDN_DELTAPOS) {
            const auto* change = reinterpret_cast<const NMUPDOWN*>(lp);
            setValue(value() + (change->iDelta > 0 ? 1 : change->iDelta < 0 ? -1 : 0));
            return TRUE;
        }
    }
    return WindowedControl::handleMessage(msg, wp, lp);
}

void SpinEdit::enabledChanged() {
    WindowedControl::enabledChanged();
    edit_->setEnabled(enabled_);
    EnableWindow(arrows_.get(), enabled_ ? TRUE : FALSE);
}

}  // namespace tolvar
