#include "ui/tray_icon_win.h"

#include <cstring>

namespace tolvar {

namespace {

constexpr std::size_t kFirstFormTipSize = 64;
constexpr UINT kBalloonTimeoutMs = 10000;

// Copies text into a fixed field with its terminating zero, cut at a whole
// UTF-8 character: the shell reads the field no further than its size, and
// half a character would show as a broken one.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text, std::size_t size = N) {
    std::size_t n = text.size() < size ? text.size() : size - 1;
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

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
    CopyField(record_.szTip, tip, kFirstFormTipSize);
    // A busy shell may time out and still add the icon: that one counts as
    // up, so it is deleted again.
    up_ = notify(NIM_ADD, &record_) || GetLastError() == ERROR_TIMEOUT;
    return up_;
}

void TrayIcon::setTip(const std::string& tip) {
    CopyField(record_.szTip, tip, kFirstFormTipSize);
    if (!up_) return;
    NOTIFYICONDATAA change = record_;
    change.uFlags = NIF_TIP;
    notify(NIM_MODIFY, &change);
}

bool TrayIcon::showBalloon(const std::string& title, const std::string& text, BalloonIcon icon) {
    if (!up_) return false;
    // Balloons came with the second form of the record; the icon's own
    // record stays of the first form, which every shell takes.
    NOTIFYICONDATAA balloon = record_;
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.uFlags = NIF_INFO;
    CopyField(balloon.szInfoTitle, title);
    CopyField(balloon.szInfo, text);
    balloon.uTimeout = kBalloonTimeoutMs;
    balloon.dwInfoFlags = icon == BalloonIcon::Warning ? NIIF_WARNING : NIIF_INFO;
    return notify(NIM_MODIFY, &balloon) != FALSE;
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
        case NIN_BALLOONUSERCLICK:
            return true;
        default:
            return false;
    }
}

bool TrayIcon::addAgain() {
    if (!up_) return false;
    return notify(NIM_ADD, &record_) || GetLastError() == ERROR_TIMEOUT;
}

void TrayIcon::remove() {
    if (!up_) return;
    notify(NIM_DELETE, &record_);
    up_ = false;
}

}  // namespace tolvar
