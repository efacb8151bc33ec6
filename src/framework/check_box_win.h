#pragma once

// A standard check box that ticks and unticks itself when clicked; onClick
// runs after the click changed the tick.

#include <string>

#include "framework/windowed_control_win.h"

namespace tolvar {

class CheckBox : public WindowedControl {
public:
    CheckBox(WindowedControl& parent, int left, int top, int width, int height,
             const std::string& caption);

    bool checked() const;
    // Runs no onClick: only the user's clicks do.
    void setChecked(bool checked);

    std::string captionText() const override { return windowText(); }
    bool captionMarksAccessKey() const override { return true; }
    // The keyboard ticks or unticks the box as a click does.
    void press() override;

protected:
    void command(WORD notification) override;
};

}  // namespace tolvar
