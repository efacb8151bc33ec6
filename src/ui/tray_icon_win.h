#pragma once

// The notification-area icon that stands in for the main window while the
// program is minimised to the tray, and stays up beside it while real-time
// protection runs. One record serves for adding, changing and deleting the
// icon; an icon still up when its owner goes is deleted then, so no dead
// icon stays behind in the notification area. The icon also shows balloons:
// what real-time protection did, told while the main window may be hidden.

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

namespace tolvar {

// The message the icon sends to its window; the mouse event is in lParam.
inline constexpr UINT TrayCallbackMessage = 1025;

// The message the shell sends every top-level window when its taskbar is
// made anew (Explorer restarted): the icons it showed are gone.
UINT TaskbarCreatedMessage();

// Whether an event of the icon asks for the program back: a left or right
// button press, the icon chosen with the keyboard (Enter or Space; older
// shells send a right press for it, newer ones "select" or "key select"),
// or a click on the icon's balloon.
bool TrayEventRestores(LPARAM event);

enum class BalloonIcon { Info, Warning };

class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Fills the record for this window, icon and tip (cut to the tip field)
    // and adds the icon, in place of one still up. False when the shell
    // refused it.
    bool add(HWND window, HICON icon, const std::string& tip);
    // Deletes the icon of the record; nothing when none is up.
    void remove();
    // Adds the icon that is up again with the same record, after the shell
    // lost it; nothing when none is up. False when the shell refused it.
    bool addAgain();
    bool isUp() const { return up_; }
    // The tip of the record, and of the icon when one is up.
    void setTip(const std::string& tip);
    // A balloon at the icon that is up: its title and text cut to their
    // fields, the icon of its kind. False when no icon is up or the shell
    // refused it.
    bool showBalloon(const std::string& title, const std::string& text, BalloonIcon icon);

    const NOTIFYICONDATAA& record() const { return record_; }

    // The shell's call, which a test replaces to see what was asked of it.
    std::function<BOOL(DWORD, NOTIFYICONDATAA*)> notify = &Shell_NotifyIconA;

private:
    NOTIFYICONDATAA record_{};
    bool up_ = false;
};

}  // namespace tolvar
