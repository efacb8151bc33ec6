#include "framework/windowed_control_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "core/app_error.h"
#include "framework/accessible_sources_win.h"
#include "framework/application_win.h"
#include "framework/form_win.h"

namespace tolvar {

namespace {

// The window property that ties a window to its control; a property rather
// than GWLP_USERDATA because standard controls may use their user data.
constexpr const char* kControlProperty = "TolvarControl";
// The focus rectangle stands this far inside a graphic control's edges.
constexpr int kFocusCueInset = 2;

MouseButton ButtonOf(UINT msg) {
    switch (msg) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return MouseButton::Right;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            return MouseButton::Middle;
        default:
            return MouseButton::Left;
    }
}

}  // namespace

WindowedControl::WindowedControl(WindowedControl* parent)
    : Control(parent), color_(GetSysColor(COLOR_BTNFACE)) {}

WindowedControl::~WindowedControl() {
    // A client may hold this window's object for as long as it likes: from
    // now on it answers that the window is gone.
    if (own_) own_->Disconnect();
    // Children go first: their windows are children of ours.
    mouseTarget_ = nullptr;
    underMouse_ = nullptr;
    children_.clear();
    if (hwnd_) {
        HWND hwnd = hwnd_;
        RemovePropA(hwnd, kControlProperty);
        if (originalProc_) {
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc_));
        }
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

void WindowedControl::createHandle(DWORD exStyle, const char* className, const char* caption,
                                   DWORD style, HWND parentOrOwner, bool subclass) {
    if (visible_) style |= WS_VISIBLE;
    if (!enabled_) style |= WS_DISABLED;
    HWND hwnd = CreateWindowExA(exStyle, className, caption, style, bounds_.left, bounds_.top,
                                bounds_.width, bounds_.height, parentOrOwner, nullptr,
                                Application::instance().hinstance(), subclass ? nullptr : this);
    if (!hwnd) throw AppError(std::string("Cannot create a window of class ") + className);
    if (style & WS_TABSTOP) tabStop_ = true;
    if (subclass) {
        hwnd_ = hwnd;
        SetPropA(hwnd, kControlProperty, this);
        originalProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    }
}

WindowedControl* WindowedControl::fromHandle(HWND hwnd) {
    return hwnd ? static_cast<WindowedControl*>(GetPropA(hwnd, kControlProperty)) : nullptr;
}

LRESULT CALLBACK WindowedControl::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        auto* self = static_cast<WindowedControl*>(cs->lpCreateParams);
        if (self) {
            self->hwnd_ = hwnd;
            SetPropA(hwnd, kControlProperty, self);
        }
    }
    return Dispatch(fromHandle(hwnd), hwnd, msg, wp, lp);
}

LRESULT CALLBACK WindowedControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch(fromHandle(hwnd), hwnd, msg, wp, lp);
}

LRESULT WindowedControl::Dispatch(WindowedControl* self, HWND hwnd, UINT msg, WPARAM wp,
                                  LPARAM lp) {
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        LRESULT r = self->defaultHandling(msg, wp, lp);
        RemovePropA(hwnd, kControlProperty);
        self->hwnd_ = nullptr;
        return r;
    }
    // No exception may cross the system's frames: report it here and let
    // the message loop go on.
    try {
        return self->handleMessage(msg, wp, lp);
    } catch (...) {
        if (Application* app = Application::current()) {
            app->reportException(std::current_exception());
        }
        return 0;
    }
}

LRESULT WindowedControl::defaultHandling(UINT msg, WPARAM wp, LPARAM lp) {
    if (originalProc_) return CallWindowProcA(originalProc_, hwnd_, msg, wp, lp);
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

LRESULT WindowedControl::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_GETOBJECT:
            return answerAccessibility(msg, wp, lp);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (!originalProc_) repaintFocusCue();
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // Keys that reach a page of a window (the holder of a graphic
            // control's focus) are the window's.
            if (!originalProc_ && parent()) {
                if (Form* owner = form()) {
                    const MSG key{hwnd_, msg, wp, lp, 0, {}};
                    if (owner->keyboard().handleKey(key)) return 0;
                }
            }
            break;
        case WM_ERASEBKGND:
            if (!originalProc_) return 1;  // the paint covers everything
            break;
        case WM_PAINT:
            if (!originalProc_) {
                PaintScope paint(hwnd_);
                const RECT& area = paint.area();
                int w = area.right - area.left;
                int h = area.bottom - area.top;
                if (w > 0 && h > 0) {
                    // One off-screen bitmap per paint, copied once.
                    Bitmap buffer(w, h);
                    BitmapCanvas canvas(buffer);
                    SetViewportOrgEx(canvas.dc(), -area.left, -area.top, nullptr);
                    paintContent(canvas.dc());
                    SetViewportOrgEx(canvas.dc(), 0, 0, nullptr);
                    BitBlt(paint.dc(), area.left, area.top, w, h, canvas.dc(), 0, 0, SRCCOPY);
                }
                return 0;
            }
            break;
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (WindowedControl* child = fromHandle(dis->hwndItem)) {
                child->drawItem(*dis);
                return TRUE;
            }
            break;
        }
        case WM_COMMAND:
            if (lp) {
                if (WindowedControl* child = fromHandle(reinterpret_cast<HWND>(lp))) {
                    child->command(HIWORD(wp));
                    return 0;
                }
            }
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == hwnd_ && LOWORD(lp) == HTCLIENT) {
                POINT at;
                GetCursorPos(&at);
                ScreenToClient(hwnd_, &at);
                const GraphicControl* under = graphicChildAt(at.x, at.y);
                if (under && under->cursor) {
                    SetCursor(LoadCursorA(nullptr, under->cursor));
                    return TRUE;
                }
            }
            break;
        case WM_CAPTURECHANGED:
            mouseTarget_ = nullptr;
            selfPressed_ = false;
            // The next move asks for the leave again, whatever the capture
            // did to the request.
            trackingLeave_ = false;
            break;
        case WM_MOUSELEAVE:
            if (!originalProc_) {
                trackingLeave_ = false;
                // A held press keeps its control until the release.
                if (!mouseTarget_) moveMouseOnto(nullptr);
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            // The right button's release still goes on to the default handling,
            // which turns it into the context-menu request.
            if (routeMouse(msg, wp, lp) && !originalProc_ && msg != WM_RBUTTONUP) return 0;
            break;
        default:
            break;
    }
    return defaultHandling(msg, wp, lp);
}

bool WindowedControl::routeMouse(UINT msg, WPARAM, LPARAM lp) {
    const int x = GET_X_LPARAM(lp);
    const int y = GET_Y_LPARAM(lp);
    const MouseButton button = ButtonOf(msg);
    switch (msg) {
        case WM_MOUSEMOVE: {
            if (!originalProc_) trackMouseLeave();
            GraphicControl* target = mouseTarget_ ? mouseTarget_ : graphicChildAt(x, y);
            if (!mouseTarget_) moveMouseOnto(target);
            updateHint(target ? static_cast<const Control*>(target) : this);
            if (target) {
                target->mouseMove(x - target->bounds().left, y - target->bounds().top);
            } else {
                mouseMove(x, y);
            }
            return true;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            const bool dbl =
                msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
            GraphicControl* target = graphicChildAt(x, y);
            moveMouseOnto(target);
            if (target) {
                // A button pressed with the mouse takes the focus, as a
                // standard button does.
                if (target->tabStop()) {
                    if (Form* owner = form()) owner->keyboard().focus(*target);
                }
                // The press holds the mouse for this child until the release,
                // wherever the mouse goes meanwhile.
                // (Capture first: taking it may report a capture change here.)
                if (!originalProc_) SetCapture(hwnd_);
                mouseTarget_ = target;
                target->mouseDown(button, x - target->bounds().left, y - target->bounds().top);
                if (dbl && button == MouseButton::Left && mouseTarget_ == target) {
                    target->dblClick();
                }
            } else {
                if (!originalProc_) SetCapture(hwnd_);
                selfPressed_ = button == MouseButton::Left;
                mouseDown(button, x, y);
                if (dbl && button == MouseButton::Left) dblClick();
            }
            return true;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            if (GraphicControl* target = std::exchange(mouseTarget_, nullptr)) {
                const bool over = target->bounds().contains(x, y);
                if (GetCapture() == hwnd_ && !originalProc_) ReleaseCapture();
                target->mouseUp(button, x - target->bounds().left, y - target->bounds().top);
                // The mouse-up handler may have moved the control elsewhere.
                if (over && button == MouseButton::Left && target->parent() == this) {
                    target->click();
                } else if (!over) {
                    // Dragged off and released: no move over it will come.
                    if (underMouse_ == target) underMouse_ = nullptr;
                    target->mouseLeave();
                }
            } else {
                const bool pressed = std::exchange(selfPressed_, false);
                if (GetCapture() == hwnd_ && !originalProc_) ReleaseCapture();
                mouseUp(button, x, y);
                RECT client;
                GetClientRect(hwnd_, &client);
                POINT p{x, y};
                // Standard controls report their own clicks (a button's
                // BN_CLICKED), also from the keyboard.
                if (pressed && button == MouseButton::Left && PtInRect(&client, p) &&
                    !originalProc_) {
                    click();
                }
            }
            return true;
        }
        default:
            return false;
    }
}

void WindowedControl::trackMouseLeave() {
    if (trackingLeave_) return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd_;
    trackingLeave_ = TrackMouseEvent(&track) != FALSE;
}

void WindowedControl::moveMouseOnto(GraphicControl* next) {
    GraphicControl* left = std::exchange(underMouse_, next);
    if (left && left != next) left->mouseLeave();
}

GraphicControl* WindowedControl::graphicChildAt(int x, int y) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        Control* c = it->get();
        if (!c->isWindowed() && c->visible() && c->enabled() && c->bounds().contains(x, y)) {
            return static_cast<GraphicControl*>(c);
        }
    }
    return nullptr;
}

void WindowedControl::paintBackground(HDC dc) const {
    RECT client{0, 0, bounds_.width, bounds_.height};
    if (hwnd_) GetClientRect(hwnd_, &client);
    UniqueBrush brush(CreateSolidBrush(color_));
    FillRect(dc, &client, brush.get());
}

void WindowedControl::paintContent(HDC dc) const {
    paintBackground(dc);
    // The focus rectangle goes over the face of the graphic control this
    // window holds the focus for, after it is painted: the face itself
    // stays as it is.
    const Form* owner = form();
    const Control* cue = owner && owner->keyboard().cuesShown() && GetFocus() == hwnd_
                             ? owner->keyboard().focusedGraphic()
                             : nullptr;
    for (const auto& child : children_) {
        if (child->isWindowed() || !child->visible()) continue;
        const Bounds& b = child->bounds();
        SavedDC saved(dc);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetViewportOrgEx(dc, origin.x + b.left, origin.y + b.top, nullptr);
        IntersectClipRect(dc, 0, 0, b.width, b.height);
        static_cast<const GraphicControl&>(*child).paint(dc);
        if (child.get() == cue) {
            RECT frame{kFocusCueInset, kFocusCueInset, b.width - kFocusCueInset,
                       b.height - kFocusCueInset};
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            DrawFocusRect(dc, &frame);
        }
    }
}

void WindowedControl::repaintFocusCue() {
    // The control this window holds (or held) the focus for shows or loses
    // its rectangle.
    const Form* owner = form();
    const Control* cue = owner ? owner->keyboard().graphicHeld() : nullptr;
    if (cue && cue->parent() == this) invalidateArea(cue->bounds().rect());
}

LRESULT WindowedControl::answerAccessibility(UINT msg, WPARAM wp, LPARAM lp) {
    if (static_cast<LONG>(lp) == OBJID_CLIENT) {
        // A client's question must never end in the error report.
        try {
            Microsoft::WRL::ComPtr<IAccessible> object = accessibleObject();
            if (object) {
                const LRESULT answer = Application::instance().oleacc().Answer(wp, object.Get());
                if (answer) return answer;
            }
        } catch (...) {
        }
    }
    return defaultHandling(msg, wp, lp);
}

Microsoft::WRL::ComPtr<IAccessible> WindowedControl::accessibleObject() {
    if (!accessible_) accessible_ = makeAccessibleObject();
    return accessible_;
}

Microsoft::WRL::ComPtr<IAccessible> WindowedControl::keep(
    Microsoft::WRL::ComPtr<AccessibleObject> object) {
    own_ = std::move(object);
    return Microsoft::WRL::ComPtr<IAccessible>(own_ ? own_->Interface() : nullptr);
}

Microsoft::WRL::ComPtr<IAccessible> WindowedControl::makeAccessibleObject() {
    if (!originalProc_) return keep(AccessibleObject::Create(MakeChildrenSource(*this)));
    // The system's object knows a standard control best, where it tells
    // what the control is; a control named by a label beside it (an edit)
    // needs the name only the program knows.
    if (hint().empty() && accessible.name.empty()) {
        Microsoft::WRL::ComPtr<IAccessible> system =
            Application::instance().oleacc().StandardObject(hwnd_, OBJID_CLIENT);
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        VARIANT role;
        VariantInit(&role);
        if (system && SUCCEEDED(system->get_accRole(self, &role)) && role.vt == VT_I4 &&
            role.lVal == SystemRole(accessibleRole())) {
            return system;
        }
        VariantClear(&role);
    }
    return keep(AccessibleObject::Create(MakeStandardControlSource(*this)));
}

Bitmap WindowedControl::renderOffscreen() const {
    RECT client{0, 0, bounds_.width, bounds_.height};
    if (hwnd_) GetClientRect(hwnd_, &client);
    Bitmap buffer(client.right, client.bottom);
    if (buffer.empty()) return buffer;
    BitmapCanvas canvas(buffer);
    paintContent(canvas.dc());
    return buffer;
}

void WindowedControl::invalidate() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void WindowedControl::invalidateArea(const RECT& area) {
    if (hwnd_) InvalidateRect(hwnd_, &area, FALSE);
}

void WindowedControl::setColor(COLORREF color) {
    color_ = color;
    invalidate();
}

void WindowedControl::bringToFront(Control& child) {
    auto it = std::find_if(children_.begin(), children_.end(),
                           [&](const std::unique_ptr<Control>& c) { return c.get() == &child; });
    if (it == children_.end()) return;
    std::rotate(it, it + 1, children_.end());
    if (child.isWindowed()) {
        SetWindowPos(static_cast<WindowedControl&>(child).handle(), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    child.invalidate();
}

Form* WindowedControl::form() {
    WindowedControl* c = this;
    while (c->parent())
        c = c->parent();
    return dynamic_cast<Form*>(c);
}

std::string WindowedControl::windowText() const {
    if (!hwnd_) return {};
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd_)) + 1, '\0');
    const int got = GetWindowTextA(hwnd_, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

const Form* WindowedControl::form() const {
    return const_cast<WindowedControl*>(this)->form();
}

HFONT WindowedControl::controlFont() const {
    const WindowedControl* top = this;
    while (top->parent())
        top = top->parent();
    const auto* owner = dynamic_cast<const Form*>(top);
    if (owner && owner->font()) return owner->font();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void WindowedControl::useControlFont() {
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont()), FALSE);
}

void WindowedControl::updateHint(const Control* under) {
    if (under == hinted_) return;
    Form* top = form();
    if (!top) return;
    // One tool per window, covering the control under the mouse: the
    // tooltip then shows that control's hint after the usual delay.
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = hwnd_;
    tool.uId = 1;
    if (hinted_) SendMessageA(top->tooltip(), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    hinted_ = nullptr;
    if (!under || under->hint().empty()) return;
    hinted_ = under;
    tool.uFlags = TTF_SUBCLASS;
    if (under == this) {
        GetClientRect(hwnd_, &tool.rect);
    } else {
        tool.rect = under->bounds().rect();
    }
    std::string text = under->hint();
    tool.lpszText = text.data();
    SendMessageA(top->tooltip(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::unique_ptr<Control> WindowedControl::releaseChild(Control& child) {
    if (mouseTarget_ == &child) mouseTarget_ = nullptr;
    if (underMouse_ == &child) underMouse_ = nullptr;
    if (hinted_ == &child) updateHint(nullptr);
    auto it = std::find_if(children_.begin(), children_.end(),
                           [&](const std::unique_ptr<Control>& c) { return c.get() == &child; });
    if (it == children_.end()) throw AppError("Control is not a child of its parent");
    std::unique_ptr<Control> owned = std::move(*it);
    children_.erase(it);
    return owned;
}

void WindowedControl::adoptChild(std::unique_ptr<Control> child) {
    children_.push_back(std::move(child));
}

void WindowedControl::boundsChanged(const Bounds&) {
    if (hwnd_) {
        SetWindowPos(hwnd_, nullptr, bounds_.left, bounds_.top, bounds_.width, bounds_.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void WindowedControl::visibilityChanged() {
    if (hwnd_) ShowWindow(hwnd_, visible_ ? SW_SHOW : SW_HIDE);
}

void WindowedControl::enabledChanged() {
    if (hwnd_) EnableWindow(hwnd_, enabled_ ? TRUE : FALSE);
}

void WindowedControl::parentChanged(WindowedControl*) {
    if (hwnd_ && parent()) SetParent(hwnd_, parent()->handle());
}

}  // namespace tolvar
