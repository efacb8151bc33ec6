#pragma once

// The base of every control. A control has a parent (a windowed control,
// which owns it), a position in its parent's client area, visibility, a hint
// and mouse events, may take the keyboard focus, and describes itself to
// accessibility clients. Graphic controls have no window of their own: their
// parent paints them and routes the mouse to them.

#include <windows.h>

#include <functional>
#include <string>

namespace tolvar {

class WindowedControl;

enum class MouseButton { Left, Right, Middle };

// What a control is to an accessibility client (a screen reader). None: a
// picture or surface that means nothing on its own, left out of the tree.
enum class AccessibleRole {
    None,
    Client,
    Dialog,
    Pane,
    Grouping,
    PushButton,
    CheckButton,
    RadioButton,
    Link,
    StaticText,
    Text,
    List,
    ListItem,
    ProgressBar,
};

// How a control describes itself beyond its role: each part is optional.
struct AccessibleTraits {
    AccessibleRole role = AccessibleRole::None;
    // The name when the control has no hint (the caption drawn on a
    // picture, or a field's label).
    std::string name;
    // The value read out (a progress bar's percentage).
    std::function<std::string()> value;
    // A button shown pressed: a held one, or the lit one of its group.
    std::function<bool()> pressed;
    // A command that would do nothing now, though the control stays usable.
    std::function<bool()> unavailable;
};

struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool contains(int x, int y) const {
        return x >= left && y >= top && x < right() && y < bottom();
    }
    RECT rect() const { return RECT{left, top, right(), bottom()}; }
};

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    WindowedControl* parent() const { return parent_; }
    // Moves the control, and its ownership, to another parent.
    void setParent(WindowedControl& newParent);

    const Bounds& bounds() const { return bounds_; }
    void setBounds(int left, int top, int width, int height);
    void setPosition(int left, int top) { setBounds(left, top, bounds_.width, bounds_.height); }
    void setSize(int width, int height) { setBounds(bounds_.left, bounds_.top, width, height); }

    bool visible() const { return visible_; }
    void setVisible(bool visible);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    const std::string& hint() const { return hint_; }
    void setHint(const std::string& hint) { hint_ = hint; }

    // Whether Tab stops here (while the control is shown and enabled).
    bool tabStop() const { return tabStop_; }
    void setTabStop(bool tabStop) { tabStop_ = tabStop; }
    // Shown with every parent up to its window.
    bool showing() const;
    // Enabled with every parent up to its window.
    bool enabledInWindow() const;
    // The keyboard may move the focus here now.
    bool canFocus() const { return tabStop_ && showing() && enabledInWindow(); }

    AccessibleTraits accessible;
    virtual AccessibleRole accessibleRole() const { return accessible.role; }
    // The hint, else the declared name, else the control's own text, without
    // the access key's marker.
    std::string accessibleName() const;
    std::string accessibleValue() const;
    // The caption the control shows (a label's, a button's), if any.
    virtual std::string captionText() const { return {}; }
    // Whether '&' in the caption marks an access key, as standard buttons
    // draw it; a label draws '&' as it is.
    virtual bool captionMarksAccessKey() const { return false; }
    // The letter that Alt presses with, marked by '&' in the text; 0 for none.
    char accessKey() const;
    // Tells accessibility clients that the control's name, value, state or
    // focus changed (EVENT_OBJECT_NAMECHANGE, ...); announced once the
    // handler that changed it is done, many changes as one.
    void announce(unsigned long event) const;

    // The system cursor shown over a graphic control (IDC_HAND for a link);
    // null for the window's own.
    LPCSTR cursor = nullptr;

    virtual bool isWindowed() const = 0;

    // Repaints the control's area of its window.
    virtual void invalidate();

    // Events, in the control's own coordinates. A click comes after the
    // mouse-up of a left press that was released over the control.
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void(MouseButton, int x, int y)> onMouseDown;
    std::function<void(MouseButton, int x, int y)> onMouseUp;
    std::function<void(int x, int y)> onMouseMove;
    // The mouse is no longer over a graphic control: it moved onto another,
    // or off the window (however fast; the system tells), or a press that
    // held it was released elsewhere.
    std::function<void()> onMouseLeave;

    // Delivery of mouse input; the window that received it calls these.
    void mouseDown(MouseButton button, int x, int y);
    void mouseUp(MouseButton button, int x, int y);
    void mouseMove(int x, int y);
    void mouseLeave();
    void click();
    void dblClick();
    // What the keyboard's press does (Enter, Space, an access key): a
    // click, unless the control's own click does more (a check box ticks).
    virtual void press() { click(); }

protected:
    explicit Control(WindowedControl* parent) : parent_(parent) {}
    // Called after bounds, visibility or enabled state changed.
    virtual void boundsChanged(const Bounds& old) = 0;
    virtual void visibilityChanged() = 0;
    virtual void enabledChanged() {}
    virtual void parentChanged(WindowedControl* oldParent) = 0;

    Bounds bounds_;
    bool visible_ = true;
    bool enabled_ = true;
    bool tabStop_ = false;

private:
    friend class WindowedControl;
    WindowedControl* parent_;
    std::string hint_;
};

// A control painted by its parent into the parent's off-screen bitmap.
class GraphicControl : public Control {
public:
    bool isWindowed() const override { return false; }
    void invalidate() override;

    // Paints into dc, whose origin is the control's top-left corner and whose
    // clip is the control's rectangle.
    virtual void paint(HDC dc) const = 0;

protected:
    explicit GraphicControl(WindowedControl& parent);
    void boundsChanged(const Bounds& old) override;
    void visibilityChanged() override;
    void parentChanged(WindowedControl* oldParent) override;
};

}  // namespace tolvar
