#include "ui/tray_icon_win.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

namespace {
constexpr std::size_t kFirstFormTipSize = 64;
}  // namespace

TrayIcon::~TrayIcon() {
    remove();
}

bool TrayIcon::add(HWND window, HICON icon, const std::string& tip) {
    // The shell refuses a second icon of the same window and id.
    remove();
    record_ = NOTIFYICONDATAA{};
    // The first form of the record: every shell version accepts it.
    record_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record_.hWnd = window;
    record_.uID = 0;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = TrayCallbackMessage;
    record_.hIcon = icon;
    // The first form of the record has a 64-byte tip field; the shell reads
    // no further, so the tip and its terminating zero must fit in it.
    const std::size_t n = std::min(tip.size(), kFirstFormTipSize - 1);
    std::memcpy(record_.szTip, tip.data(), n);
    record_.szTip[n] = '\0';
    // A busy shell may time out and still add the icon: that one counts as
    // up, so it is deleted again.
    up_ = Shell_NotifyIconA(NIM_ADD, &record_) || GetLastError() == ERROR_TIMEOUT;
    return up_;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

bool TrayEventRestores(LPARAM event) {
    switch (event) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            return true;
        default:
            return false;
    }
}

bool TrayIcon::addAgain() {
    if (!up_) return false;
    return Shell_NotifyIconA(NIM_ADD, &record_) || GetLastError() == ERROR_TIMEOUT;
}

void TrayIcon::remove() {
    if (!up_) return;
    Shell_NotifyIconA(NIM_DELETE, &record_);
    up_ = false;
}

}  // namespace tolvar
