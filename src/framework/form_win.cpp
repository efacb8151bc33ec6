#include "framework/form_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <vector>

#include "core/app_error.h"
#include "framework/application_win.h"
#include "framework/popup_menu_win.h"
#include "framework/window_classes.h"

namespace tolvar {

namespace {

constexpr int kCornerEllipse = 16;
// WM_SYSCOMMAND's move command with the caption hit code: the system then
// moves the window with the mouse as a title-bar drag does.
constexpr WPARAM kDragMove = 0xF012;

DWORD StyleFor(BorderStyle border) {
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
    if (border == BorderStyle::Dialog)
        style = (style & ~WS_MINIMIZEBOX) | WS_CAPTION | DS_MODALFRAME;
    return style;
}

DWORD ExStyleFor(BorderStyle border) {
    return border == BorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0;
}

// The windows a modal form disables while it is up, enabled again however
// the modal display ends: those on the screen, and the main window and the
// application's window also while they are off it (minimised away, in the
// tray), since either comes back while the modal form is still up.
class DisabledWindows {
public:
    explicit DisabledWindows(HWND except) : except_(except) {
        if (Application* app = Application::current()) {
            owner_ = app->ownerWindow();
            if (app->mainForm()) main_ = app->mainForm()->handle();
        }
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        for (HWND w : windows_)
            EnableWindow(w, FALSE);
    }
    ~DisabledWindows() {
        for (HWND w : windows_) {
            if (IsWindow(w)) EnableWindow(w, TRUE);
        }
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<DisabledWindows*>(self);
        const bool comesBack = w == me->main_ || w == me->owner_;
        if (w != me->except_ && (IsWindowVisible(w) || comesBack) && IsWindowEnabled(w)) {
            me->windows_.push_back(w);
        }
        return TRUE;
    }
    HWND except_;
    HWND main_ = nullptr;
    HWND owner_ = nullptr;
    std::vector<HWND> windows_;
};

// Hands a font to every standard control below parent; the program's own
// windows ignore the message and pick the font up when they paint.
void SendFont(const WindowedControl& parent, HFONT font) {
    for (const auto& child : parent.children()) {
        if (!child->isWindowed()) continue;
        const auto& windowed = static_cast<const WindowedControl&>(*child);
        SendMessageA(windowed.handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendFont(windowed, font);
    }
}

}  // namespace

Form::Form(const std::string& caption, int clientWidth, int clientHeight, BorderStyle border)
    : WindowedControl(nullptr),
      caption_(caption),
      border_(border),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight) {
    visible_ = false;
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, StyleFor(border), FALSE, ExStyleFor(border));
    bounds_ = Bounds{0, 0, r.right - r.left, r.bottom - r.top};
    accessible.role = AccessibleRole::Client;
    createHandle(ExStyleFor(border), window_class::kForm, caption_.c_str(), StyleFor(border),
                 Application::instance().ownerWindow(), false);
}

Form::~Form() {
    // The application must not act on a form that is gone.
    Application* app = Application::current();
    if (app && app->mainForm() == this) app->setMainForm(nullptr);
}

SIZE Form::ClientSizeFor(int windowWidth, int windowHeight, BorderStyle border) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, StyleFor(border), FALSE, ExStyleFor(border));
    return SIZE{windowWidth - (frame.right - frame.left),
                windowHeight - (frame.bottom - frame.top)};
}

HWND Form::tooltip() {
    if (!tooltip_) {
        tooltip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle(),
                                       nullptr, Application::instance().hinstance(), nullptr));
        if (!tooltip_) throw AppError("Cannot create the hint window");
    }
    return tooltip_.get();
}

void Form::setCaption(const std::string& caption) {
    caption_ = caption;
    SetWindowTextA(handle(), caption_.c_str());
}

void Form::setRounded(bool rounded) {
    rounded_ = rounded;
    applyRegion();
}

void Form::applyRegion() {
    if (!rounded_) {
        SetWindowRgn(handle(), nullptr, TRUE);
        return;
    }
    UniqueRegion region(
        CreateRoundRectRgn(0, 0, clientWidth_, clientHeight_, kCornerEllipse, kCornerEllipse));
    // On success the window owns the region.
    if (SetWindowRgn(handle(), region.get(), TRUE)) region.release();
}

void Form::setStayOnTop(bool stayOnTop) {
    SetWindowPos(handle(), stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::setAppWindow(bool appWindow) {
    LONG_PTR ex = GetWindowLongPtrA(handle(), GWL_EXSTYLE);
    ex = appWindow ? (ex | WS_EX_APPWINDOW) : (ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
    SetWindowLongPtrA(handle(), GWL_EXSTYLE, ex);
}

void Form::centreOnScreen() {
    int sw = GetSystemMetrics(SM_CXSCREEN);
    int sh = GetSystemMetrics(SM_CYSCREEN);
    setPosition((sw - bounds_.width) / 2, (sh - bounds_.height) / 2);
}

void Form::setFont(const FontSpec& font) {
    // The controls let go of the old font before it is deleted.
    UniqueFont made = CreateFontFrom(font);
    SendFont(*this, made.get());
    font_ = std::move(made);
    RedrawWindow(handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form::boundsChanged(const Bounds& old) {
    WindowedControl::boundsChanged(old);
    RECT client;
    GetClientRect(handle(), &client);
    clientWidth_ = client.right;
    clientHeight_ = client.bottom;
    if (rounded_ && (old.width != bounds_.width || old.height != bounds_.height)) applyRegion();
}

void Form::visibilityChanged() {
    if (visible_) {
        // Shown afresh: the focus starts at the default button again.
        keyboard_.reset();
        ShowWindow(handle(), SW_SHOW);
        if (onShow) onShow();
    } else {
        ShowWindow(handle(), SW_HIDE);
    }
}

void Form::close() {
    if (modal_) {
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        return;
    }
    if (onClose) onClose();
    hide();
    Application* app = Application::current();
    if (app && app->mainForm() == this) app->terminate();
}

int Form::showModal() {
    if (visible_ || modal_) throw AppError("Cannot make a visible window modal");
    Application& app = Application::instance();
    modalResult_ = mrNone;
    modal_ = true;
    {
        DisabledWindows disabled(handle());
        show();
        SetActiveWindow(handle());
        MSG msg;
        while (modalResult_ == mrNone) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                // The program is ending: leave the quit for the outer loop.
                PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
                modalResult_ = mrCancel;
                break;
            }
            try {
                if (PreTranslateKey(msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            } catch (...) {
                app.reportException(std::current_exception());
            }
        }
        if (onClose) onClose();
    }  // the other windows are enabled before this one hides, so one of them is activated
    hide();
    modal_ = false;
    return modalResult_;
}

void Form::beginDrag() {
    ReleaseCapture();
    SendMessageA(handle(), WM_SYSCOMMAND, kDragMove, 0);
}

bool Form::PreTranslateKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    WindowedControl* top = fromHandle(GetAncestor(msg.hwnd, GA_ROOT));
    auto* form = dynamic_cast<Form*>(top);
    return form && form->keyboard_.handleKey(msg);
}

LRESULT Form::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE:
            close();
            return 0;
        case WM_ACTIVATE:
            // The focus goes back where it was (or to the default button),
            // not to the window itself.
            if (LOWORD(wp) == WA_INACTIVE) {
                keyboard_.deactivated();
            } else if (!HIWORD(wp) && keyboard_.activated()) {
                return 0;
            }
            break;
        case WM_CONTEXTMENU:
            if (contextMenu) {
                int x = GET_X_LPARAM(lp);
                int y = GET_Y_LPARAM(lp);
                if (x == -1 && y == -1) {  // from the keyboard: at the window's corner
                    POINT p{0, 0};
                    ClientToScreen(handle(), &p);
                    x = p.x;
                    y = p.y;
                }
                contextMenu->popup(handle(), x, y);
                return 0;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            // A key sent straight to the window, past the message loop.
            const MSG key{handle(), msg, wp, lp, 0, {}};
            if (keyboard_.handleKey(key)) return 0;
            if (msg == WM_KEYDOWN && onKeyDown) {
                onKeyDown(static_cast<int>(wp));
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return WindowedControl::handleMessage(msg, wp, lp);
}

}  // namespace tolvar
