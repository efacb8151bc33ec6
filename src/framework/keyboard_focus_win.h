#pragma once

// The keyboard in one window: which of its controls has the focus, the Tab
// order (Shift+Tab backwards), groups that the arrow keys move through (a
// row of page buttons; the radio buttons of one group, which are one Tab
// stop), the default button (Enter) and the cancel button (Escape), and the
// Alt+letter access keys of captions that mark one with '&'.
//
// A graphic control has no window to hold the focus: its parent's window
// holds it, and this object remembers which of the window's graphic
// controls it stands for. The window draws a focus rectangle over that
// control once the keyboard has been used in the window (a mouse user sees
// the faces as they are). Lists and edits keep their own keys; the window
// takes only Tab, Enter and Escape from them.

#include <windows.h>

#include <utility>
#include <vector>

namespace tolvar {

class Control;
class Form;
class WindowedControl;

class KeyboardFocus {
public:
    explicit KeyboardFocus(Form& form) : form_(form) {}
    KeyboardFocus(const KeyboardFocus&) = delete;
    KeyboardFocus& operator=(const KeyboardFocus&) = delete;

    // The window's declarations. Without a Tab order, the controls that are
    // Tab stops follow each other in the window's paint order.
    void setTabOrder(std::vector<Control*> order) { order_ = std::move(order); }
    // The arrow keys move the focus through the group, round and round.
    void addArrowGroup(std::vector<Control*> group) { groups_.push_back(std::move(group)); }
    void setDefaultButton(Control* button) { default_ = button; }
    void setCancelButton(Control* button) { cancel_ = button; }

    // The control with the focus; null when the focus is elsewhere or on no
    // control of the window.
    Control* focused() const;
    bool hasFocus(const Control& control) const { return focused() == &control; }
    // The graphic control whose window holds the focus for it, if any.
    const Control* focusedGraphic() const;
    // The graphic control the focus last stood on, whether or not its
    // window still holds the focus.
    const Control* graphicHeld() const { return graphic_; }
    // Gives control the focus; false when it cannot take it now (hidden,
    // disabled, not a Tab stop).
    bool focus(Control& control);
    // The Tab stops that can take the focus now, in order.
    std::vector<Control*> tabStops() const;
    bool moveByTab(bool backwards);
    // Whether the focus rectangle shows.
    bool cuesShown() const { return cues_; }

    // A key message for the window or one of its controls: true when the
    // window took it (Tab, an arrow key in a group, Enter, Space on a
    // graphic button, Escape, an access key).
    bool handleKey(const MSG& msg);

    // The window's life: shown afresh (the focus goes to the default
    // button, else the first Tab stop, when it is activated), activated,
    // deactivated (the focus is remembered for the next activation).
    void reset();
    // True when the focus was given to a control.
    bool activated();
    void deactivated();
    // A graphic control moved to another window: the focus goes with it.
    void moved(const Control& control);

private:
    bool moveInGroup(Control& current, bool backwards);
    const std::vector<Control*>* groupOf(const Control& control) const;
    // The radio buttons beside this one: one Tab stop, arrows between them.
    std::vector<Control*> radioSiblings(const Control& control) const;
    Control* accessKeyTarget(char key) const;
    // Presses a button the keyboard pressed; false when it cannot be pressed.
    bool press(Control* button);
    void showCues();
    void repaint(const Control* control) const;
    Control* controlOfWindow(HWND window) const;

    Form& form_;
    std::vector<Control*> order_;
    std::vector<std::vector<Control*>> groups_;
    Control* default_ = nullptr;
    Control* cancel_ = nullptr;
    // The graphic control the focus stands on while its window holds it.
    Control* graphic_ = nullptr;
    HWND saved_ = nullptr;
    bool cues_ = false;
};

}  // namespace tolvar
