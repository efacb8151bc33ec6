#pragma once

// The small borderless message windows: a background picture with a title
// band, text, and skin buttons. They open centred, have rounded corners and
// are moved by pressing on their background or title; most stay on top of
// every other window, those that open pickers and questions of their own
// do not. Their skin buttons take the keyboard focus; Enter presses a
// window's default button and Escape its cancel button.

#include <string>

#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/label_win.h"
#include "ui/skin_win.h"

namespace tolvar {

class MessageWindow : public Form {
public:
    // The pictures are the resources <picturePrefix>_IMAGE1 (background) and
    // <picturePrefix>_IMAGE<titleNumber> (title band at the top; 0 for none,
    // when the background carries the title).
    // A window that does not stay on top of every other window opens
    // pickers and questions of its own, which would otherwise open behind it.
    MessageWindow(const std::string& caption, const std::string& picturePrefix, int titleNumber,
                  Skin& skin, bool staysOnTop = true);

    Image& Background;
    Image* Title = nullptr;

    // Shows the window without blocking, centred (and on top, when it stays
    // there).
    void showCentred();

protected:
    // A text line of the body.
    Label& AddText(int left, int top, int width, int height, const std::string& text);
    // A skin button bound to its slot.
    Image& AddButton(int slot, int left, int top);

    Skin& skin_;

private:
    bool staysOnTop_;
};

}  // namespace tolvar
