#pragma once

// Helpers for driving windows from a test: pumping messages until a
// condition holds, and recording the general error report.

#include <windows.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "framework/application_win.h"
#include "framework/bitmap_win.h"
#include "framework/timer_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar::test {

// Handles messages until done() is true or timeoutMs has passed; true when
// done() became true.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start > timeoutMs) return false;
        Application::instance().processMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// True when the two pictures have the same size and pixels.
inline bool SameBitmap(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

// Runs act once, from the message loop, shortly after: the way to act while
// a window that a call under test shows modally is up.
class Later {
public:
    explicit Later(std::function<void()> act) : timer_(50, true) {
        timer_.onTimer = [this, act] {
            timer_.setEnabled(false);
            act();
        };
    }

private:
    Timer timer_;
};

// Replaces the message box of the error report for one test.
class RecordedErrors {
public:
    RecordedErrors() {
        Application::instance().setErrorReport(
            [this](const std::string& text) { messages.push_back(text); });
    }
    ~RecordedErrors() { Application::instance().setErrorReport(nullptr); }
    std::vector<std::string> messages;
};

// Counts the window moves the system is asked for on this thread, and
// refuses them, so that no move loop waits for a mouse the test lacks.
class MoveRequests {
public:
    MoveRequests() : hook_(SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId())) {
        current_ = this;
    }
    ~MoveRequests() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    MoveRequests(const MoveRequests&) = delete;
    MoveRequests& operator=(const MoveRequests&) = delete;
    int count = 0;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_SYSCOMMAND && (wp & 0xFFF0) == SC_MOVE && current_) {
            ++current_->count;
            return 1;
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline thread_local MoveRequests* current_ = nullptr;
    HHOOK hook_;
};

inline LPARAM Point(int x, int y) {
    return MAKELPARAM(x, y);
}

// A left click at (x, y) of a window's client area, as the mouse sends it.
inline void ClickAt(HWND hwnd, int x, int y) {
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, Point(x, y));
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
    SendMessageA(hwnd, WM_LBUTTONUP, 0, Point(x, y));
}

// A left click in the middle of a control, through the window that routes
// its mouse.
inline void Click(Control& control) {
    const Bounds& b = control.bounds();
    ClickAt(control.parent()->handle(), b.left + b.width / 2, b.top + b.height / 2);
}

// The screen point at the middle of a control.
inline POINT MiddleOnScreen(const Control& control) {
    const Bounds& b = control.bounds();
    if (control.isWindowed()) {
        POINT p{b.width / 2, b.height / 2};
        ClientToScreen(static_cast<const WindowedControl&>(control).handle(), &p);
        return p;
    }
    POINT p{b.left + b.width / 2, b.top + b.height / 2};
    ClientToScreen(control.parent()->handle(), &p);
    return p;
}

// The real mouse, moved as the hardware moves it: the system itself sends
// the moves, the leaves and the presses to the window under it, as it does
// for a user (a disabled window gets none of them).
inline void MoveMouseTo(POINT screen) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute positions run from 0 to 65535 over the screen.
    input.mi.dx = static_cast<LONG>((screen.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((screen.y * 65536LL + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

inline void ClickMouseAt(POINT screen) {
    MoveMouseTo(screen);
    INPUT press[2]{};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof press[0]);
}

// The whole content of a file; "" when it cannot be read.
inline std::string Content(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Starts this test program again, as a process of its own that runs only the
// tests `filter` names (disabled ones too), with the environment variable
// `name` set to `value` for it. Its process handle; none when it could not
// start.
inline UniqueHandle StartThisProgram(const std::string& filter, const std::string& name = "",
                                     const std::string& value = "") {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=" + filter +
                          " --gtest_also_run_disabled_tests";
    if (!name.empty()) SetEnvironmentVariableA(name.c_str(), value.c_str());
    // Its output goes nowhere: its own "PASSED" line must not stand for this
    // program's.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const UniqueHandle nowhere(
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere.get();
    startup.hStdError = nowhere.get();
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    if (!name.empty()) SetEnvironmentVariableA(name.c_str(), nullptr);
    if (!started) return UniqueHandle();
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

}  // namespace tolvar::test
