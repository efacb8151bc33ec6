#pragma once

// A spin field: an edit box for a whole number with up and down arrows that
// step it by 1 within a range. The text may hold anything while it is typed;
// value() reads it as SpinValueFromText does, and the text is set to that
// value when the box loses the focus.

#include <functional>
#include <string>

#include "framework/edit_win.h"
#include "framework/gdi_handles_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

class SpinEdit : public WindowedControl {
public:
    SpinEdit(WindowedControl& parent, int left, int top, int width, int height, int minValue,
             int maxValue);

    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int value() const;
    // Shows value brought into the range.
    void setValue(int value);
    // The text as it stands, before it is read as a number.
    std::string text() const { return edit_->text(); }
    // The box the number is typed into, which takes the focus.
    Edit& edit() { return *edit_; }
    void setText(const std::string& text) { edit_->setText(text); }

    // The text changed, by typing, the arrows or setValue.
    std::function<void()> onChange;

protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void enabledChanged() override;

private:
    int min_;
    int max_;
    Edit* edit_ = nullptr;
    UniqueWindow arrows_;
};

}  // namespace tolvar
