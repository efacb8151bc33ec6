#pragma once

// A standard push button.

#include <string>

#include "framework/windowed_control_win.h"

namespace tolvar {

class Button : public WindowedControl {
public:
    Button(WindowedControl& parent, int left, int top, int width, int height,
           const std::string& caption);

    std::string captionText() const override { return windowText(); }
    bool captionMarksAccessKey() const override { return true; }

protected:
    void command(WORD notification) override;
};

}  // namespace tolvar
