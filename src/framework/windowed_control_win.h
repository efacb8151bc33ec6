#pragma once

// A control with a window of its own. It owns its children, paints its
// graphic children into one off-screen bitmap per paint (so labels are truly
// transparent over pictures and nothing flickers), and routes the mouse to
// the graphic child under it. Standard Windows controls (list box, edit, ...)
// are windowed controls whose window procedure is subclassed. Each answers
// accessibility clients (WM_GETOBJECT) with an object of its own.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <memory>
#include <utility>
#include <vector>

#include "framework/bitmap_win.h"
#include "framework/control_win.h"

namespace tolvar {

class AccessibleObject;

class WindowedControl : public Control {
public:
    ~WindowedControl() override;

    HWND handle() const { return hwnd_; }
    bool isWindowed() const override { return true; }
    void invalidate() override;
    void invalidateArea(const RECT& area);

    // Creates a child control of type T owned by this control; T's
    // constructor takes the parent first.
    template <typename T, typename... Args>
    T& add(Args&&... args) {
        auto owned = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *owned;
        children_.push_back(std::move(owned));
        return ref;
    }
    const std::vector<std::unique_ptr<Control>>& children() const { return children_; }
    // Moves a child to the end of the paint order, in front of its siblings.
    void bringToFront(Control& child);

    COLORREF color() const { return color_; }
    void setColor(COLORREF color);

    // The topmost visible graphic child at (x, y) of the client area, or null.
    GraphicControl* graphicChildAt(int x, int y) const;

    // The background and every visible graphic child, back to front, as one
    // client-sized bitmap: exactly what a paint copies to the screen.
    Bitmap renderOffscreen() const;

    // The form this control stands on (itself for a form).
    class Form* form();
    const class Form* form() const;

    // Keys the control keeps for itself although its window would take them
    // (a multi-line text keeps Enter and Escape).
    virtual bool wantsKey(int /*virtualKey*/) const { return false; }

    // The object accessibility clients get for this window, made when first
    // asked for; null when none can be made.
    Microsoft::WRL::ComPtr<IAccessible> accessibleObject();

    // The control that owns a window, or null.
    static WindowedControl* fromHandle(HWND hwnd);

    // Window procedure of the program's own window classes.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    explicit WindowedControl(WindowedControl* parent);

    // Creates the window. With subclass set, className is a system class
    // whose procedure runs for every message this control does not handle.
    void createHandle(DWORD exStyle, const char* className, const char* caption, DWORD style,
                      HWND parentOrOwner, bool subclass);

    // The font of this control's text: its form's, or the system's GUI font.
    HFONT controlFont() const;
    // Gives a standard control's window the font of its form.
    void useControlFont();

    virtual LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // Makes the object of accessibleObject(): for the program's own windows
    // one that lists their children; for a standard control the system's own
    // where it has one that tells what the control is, else one that says it.
    virtual Microsoft::WRL::ComPtr<IAccessible> makeAccessibleObject();
    // Keeps an object of the program's own, cut off when the control goes.
    Microsoft::WRL::ComPtr<IAccessible> keep(Microsoft::WRL::ComPtr<AccessibleObject> object);
    // The window's text (a standard button's caption).
    std::string windowText() const;
    LRESULT defaultHandling(UINT msg, WPARAM wp, LPARAM lp);
    virtual void paintBackground(HDC dc) const;
    void paintContent(HDC dc) const;

    // Notifications a parent reflects back to its standard child controls.
    virtual void drawItem(const DRAWITEMSTRUCT&) {}
    virtual void command(WORD /*notification*/) {}

    void boundsChanged(const Bounds& old) override;
    void visibilityChanged() override;
    void enabledChanged() override;
    void parentChanged(WindowedControl* oldParent) override;

private:
    friend class Control;
    std::unique_ptr<Control> releaseChild(Control& child);
    void adoptChild(std::unique_ptr<Control> child);
    bool routeMouse(UINT msg, WPARAM wp, LPARAM lp);
    // Asks the system for WM_MOUSELEAVE once the mouse leaves the window:
    // a fast move off it brings no mouse move to tell.
    void trackMouseLeave();
    // The mouse is now over `next` (a graphic child, or null for the window
    // itself or nothing): the child it was over before hears it left.
    void moveMouseOnto(GraphicControl* next);
    LRESULT answerAccessibility(UINT msg, WPARAM wp, LPARAM lp);
    void repaintFocusCue();
    // Shows the hint of the control under the mouse when the mouse rests.
    void updateHint(const Control* under);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT Dispatch(WindowedControl* self, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    WNDPROC originalProc_ = nullptr;
    std::vector<std::unique_ptr<Control>> children_;
    // The graphic child pressed and not yet released: it gets every mouse
    // message until the release, as a windowed control would with capture.
    GraphicControl* mouseTarget_ = nullptr;
    bool selfPressed_ = false;
    // The graphic child the mouse was last over, and whether the system
    // will tell when the mouse leaves the window.
    GraphicControl* underMouse_ = nullptr;
    bool trackingLeave_ = false;
    // The control whose hint the tooltip holds for this window.
    const Control* hinted_ = nullptr;
    COLORREF color_;
    Microsoft::WRL::ComPtr<IAccessible> accessible_;
    Microsoft::WRL::ComPtr<AccessibleObject> own_;
};

}  // namespace tolvar
