#pragma once

// A standard single-line edit box.

#include <functional>
#include <string>

#include "framework/windowed_control_win.h"

namespace tolvar {

class Edit : public WindowedControl {
public:
    Edit(WindowedControl& parent, int left, int top, int width, int height,
         const std::string& text = "");

    std::string text() const;
    void setText(const std::string& text);

    // The text changed, by the user or by setText.
    std::function<void()> onChange;
    // The box lost the keyboard focus.
    std::function<void()> onExit;

protected:
    void command(WORD notification) override;
};

}  // namespace tolvar
