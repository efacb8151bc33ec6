#pragma once

// A multi-line rich text box with a vertical scroll bar that wraps its lines
// at its width. The rich text library is loaded from the system folder only,
// never from the program's folder or the current one, where a planted copy
// could wait; it stays loaded as long as the box.

#include <string>

#include "framework/font_win.h"
#include "framework/gdi_handles_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

namespace detail {

// What the box's window needs for its whole life: a base class, so it is
// made before the window and goes only after the window is destroyed.
struct RichEditLibrary {
    RichEditLibrary();
    UniqueModule module;
    const char* className = nullptr;
    UniqueFont font;
};

}  // namespace detail

class RichEdit : private detail::RichEditLibrary, public WindowedControl {
public:
    RichEdit(WindowedControl& parent, int left, int top, int width, int height);

    void setText(const std::string& text);
    std::string text() const;
    void setFont(const FontSpec& font);
    // The lines as the box shows them, a wrapped line counting as two.
    int displayLineCount() const;

    // Enter starts a new line and Escape stays with the text.
    bool wantsKey(int virtualKey) const override;
};

}  // namespace tolvar
