#pragma once

// TForm10, the splash window: shown modally at program entry before any
// other window, it runs its gauge up over 100 ticks of a 12 ms timer, then
// hides and closes itself and stays, hidden, for the rest of the run. On
// Windows 6 and later it also carries the program's taskbar button while the
// program is minimised.

#include <windows.h>

#include "core/windows_version.h"
#include "framework/font_win.h"
#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/label_win.h"
#include "framework/timer_win.h"
#include "ui/gauge_win.h"

namespace tolvar {

class TForm10 : public Form {
public:
    static constexpr int kClientWidth = 239;
    static constexpr int kClientHeight = 365;
    // The gauge reaches 100 on the last tick.
    static constexpr int kTicks = 100;
    static constexpr UINT kTickInterval = 12;
    // The caption while the splash is up; once it is done the window takes
    // the application's title, which its taskbar button then shows.
    static constexpr const char* kLoadingCaption = "Loading Tolvar AntiVirus";

    // newWindowsVersion chooses the adjustments for Windows 6 and later: the
    // font, the taskbar button and the minimise handling.
    explicit TForm10(bool newWindowsVersion = IsNewWindowsVersion());
    ~TForm10() override;

    Image& Image1;  // the splash picture
    Label& Label1;  // "Loading Extensions ..."
    TGauge& Gauge1;
    Timer Timer1;  // drives the gauge while the window shows

    // The tick counter, 0 when the window is shown.
    int TickCount() const { return counter_; }
    // The window's font, which its label and gauge use.
    const FontSpec& font() const { return font_; }
    bool newWindowsVersion() const { return newVersion_; }

    // One tick of Timer1: the gauge shows the count; the tick that reaches
    // 100 hides and closes the window, which ends its modal display.
    void Timer1Timer();
    // The application's minimise handler on new versions: the window shows
    // minimised, as the program's button on the taskbar.
    void AppMinimize();

    // The window that a restore from the splash's taskbar button brings
    // back: the application's main form unless one is set here.
    void setMainWindow(Form* form) { mainWindow_ = form; }

    // The extended window style the splash is made with from a form's usual
    // one: on new versions without the tool-window style (0x80) and with the
    // application-window style (0x40000).
    static LONG_PTR CreationExStyle(LONG_PTR exStyle, bool newWindowsVersion);

protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void visibilityChanged() override;

private:
    void FormCreate();
    void FormShow();
    void FormHide();
    // Brings the main window back from the minimised program: restored,
    // shown and active, with the splash's window hidden again.
    void RestoreMainWindow(bool ownerWasVisible);
    Form* mainWindow() const;

    bool newVersion_;
    FontSpec font_;
    int counter_ = 0;
    bool handlesMinimize_ = false;
    Form* mainWindow_ = nullptr;
};

}  // namespace tolvar
