// The splash window: its layout, the 100 ticks that run its gauge up and end
// its modal display, the main window's safety net, and on new Windows
// versions its taskbar button, the minimise handler and the way back to the
// main window.

#include <gtest/gtest.h>

#include <vector>

#include "framework/application_win.h"
#include "recording_views.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/splash_window_win.h"

namespace tolvar {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(Splash, IsABorderlessTopmostWindowCentredOnTheScreen) {
    TForm10 splash(false);
    EXPECT_EQ(splash.caption(), TForm10::kLoadingCaption);
    EXPECT_EQ(splash.clientWidth(), 239);
    EXPECT_EQ(splash.clientHeight(), 365);
    RECT window;
    GetWindowRect(splash.handle(), &window);
    EXPECT_EQ(window.right - window.left, 239);  // no border
    EXPECT_EQ(window.bottom - window.top, 365);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - 239) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - 365) / 2);
    EXPECT_EQ(GetWindowLongA(splash.handle(), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_NE(GetWindowLongA(splash.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(splash.visible());
}

TEST(Splash, HoldsThePictureTheLabelTheGaugeAndTheTimer) {
    TForm10 splash(false);
    const Bounds& image = splash.Image1.bounds();
    EXPECT_EQ(image.left, 0);
    EXPECT_EQ(image.top, 0);
    EXPECT_EQ(splash.Image1.picture().width(), 239);
    EXPECT_EQ(splash.Image1.picture().height(), 345);
    EXPECT_EQ(splash.Label1.caption(), "Loading Extensions ...");
    EXPECT_EQ(splash.Label1.bounds().left, 64);
    EXPECT_EQ(splash.Label1.bounds().top, 312);
    const Bounds& gauge = splash.Gauge1.bounds();
    EXPECT_EQ(gauge.left, 0);
    EXPECT_EQ(gauge.top, 340);
    EXPECT_EQ(gauge.width, 239);
    EXPECT_EQ(gauge.height, 25);
    EXPECT_EQ(splash.Gauge1.kind(), TGaugeKind::gkHorizontalBar);
    EXPECT_TRUE(splash.Gauge1.showText());
    EXPECT_EQ(splash.Gauge1.minValue(), 0);
    EXPECT_EQ(splash.Gauge1.maxValue(), 100);
    EXPECT_EQ(splash.Gauge1.progress(), 0);
    EXPECT_EQ(splash.Timer1.interval(), 12u);
    EXPECT_FALSE(splash.Timer1.enabled());
}

TEST(Splash, OnAnOlderVersionKeepsItsFontTaskbarStyleAndMinimising) {
    TForm10 splash(false);
    EXPECT_EQ(splash.font(), (FontSpec{"MS Sans Serif", 11}));
    EXPECT_EQ(splash.Gauge1.font(), splash.font());
    EXPECT_EQ(splash.Label1.font(), splash.font());
    EXPECT_EQ(GetWindowLongA(splash.handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_FALSE(Application::instance().minimizeHandler());
}

TEST(Splash, OnANewVersionTakesSegoeUiWhenTheSystemHasIt) {
    TForm10 splash(true);
    if (FontExists("Segoe UI")) {
        EXPECT_EQ(splash.font(), (FontSpec{"Segoe UI", 12}));
    } else {
        EXPECT_EQ(splash.font(), (FontSpec{"MS Sans Serif", 11}));
    }
    EXPECT_EQ(splash.Gauge1.font(), splash.font());
    EXPECT_EQ(splash.Label1.font(), splash.font());
}

TEST(Splash, OnANewVersionHasATaskbarButtonAndHandlesMinimising) {
    EXPECT_EQ(TForm10::CreationExStyle(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, true),
              WS_EX_APPWINDOW | WS_EX_TOPMOST);
    EXPECT_EQ(TForm10::CreationExStyle(WS_EX_TOOLWINDOW, false), WS_EX_TOOLWINDOW);
    {
        TForm10 splash(true);
        const LONG ex = GetWindowLongA(splash.handle(), GWL_EXSTYLE);
        EXPECT_NE(ex & WS_EX_APPWINDOW, 0);
        EXPECT_EQ(ex & WS_EX_TOOLWINDOW, 0);
        EXPECT_TRUE(Application::instance().minimizeHandler());
    }
    // A splash that is gone leaves no handler behind.
    EXPECT_FALSE(Application::instance().minimizeHandler());
}

TEST(Splash, AfterTickKTheGaugeShowsK) {
    TForm10 splash(false);
    for (int k = 1; k <= 50; ++k) {
        splash.Timer1Timer();
        ASSERT_EQ(splash.TickCount(), k);
        ASSERT_EQ(splash.Gauge1.progress(), k);
    }
    // The composed window: the bar is half filled (W = 238, F = 119).
    Bitmap shot = splash.renderOffscreen();
    EXPECT_EQ(shot.pixel(10, 352), kBlack);
    EXPECT_EQ(shot.pixel(117, 343), kBlack);
    EXPECT_EQ(shot.pixel(120, 343), kWhite);
    EXPECT_EQ(shot.pixel(230, 352), kWhite);
    EXPECT_EQ(shot.pixel(0, 340), kBlack);  // the gauge's frame
    EXPECT_EQ(shot.pixel(238, 364), kBlack);
}

TEST(Splash, ShownModallyItRunsItsHundredTicksThenHidesAndCloses) {
    TForm10 splash(true);
    std::vector<int> shown;
    auto tick = splash.Timer1.onTimer;
    splash.Timer1.onTimer = [&] {
        tick();
        shown.push_back(splash.Gauge1.progress());
    };
    bool visibleWhileTicking = false;
    const ULONGLONG start = GetTickCount64();
    Timer watch(5);
    watch.onTimer = [&] {
        if (!shown.empty() && shown.size() < 100)
            visibleWhileTicking = visibleWhileTicking || IsWindowVisible(splash.handle());
    };
    EXPECT_EQ(splash.showModal(), mrCancel);
    const ULONGLONG elapsed = GetTickCount64() - start;

    ASSERT_EQ(shown.size(), 100u);
    for (int k = 1; k <= 100; ++k)
        EXPECT_EQ(shown[k - 1], k);
    EXPECT_TRUE(visibleWhileTicking);
    EXPECT_GE(elapsed, 1000u);  // at least 100 ticks of 12 ms, give or take the clock
    EXPECT_EQ(splash.TickCount(), 100);
    EXPECT_FALSE(splash.visible());
    EXPECT_FALSE(IsWindowVisible(splash.handle()));
    EXPECT_FALSE(splash.Timer1.enabled());
    // Kept for the run, under the program's title for its taskbar button.
    EXPECT_TRUE(IsWindow(splash.handle()));
    EXPECT_EQ(splash.caption(), Application::instance().title());
}

struct SafetyNet : testing::Test {
    test::RecordingCommands commands;
    TForm1 mainForm{commands};
    TForm10 splash{false};
    int closes = 0;
    SafetyNet() {
        mainForm.setSplash(&splash);
        splash.onClose = [this] { ++closes; };
    }
};

TEST_F(SafetyNet, TheMainWindowsFirstTickClosesASplashThatIsStillShowing) {
    splash.show();
    ASSERT_TRUE(splash.visible());
    mainForm.Timer3.onTimer();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(splash.visible());
    EXPECT_FALSE(IsWindowVisible(splash.handle()));
    EXPECT_FALSE(splash.Timer1.enabled());
    EXPECT_FALSE(mainForm.Timer3.enabled());
}

TEST_F(SafetyNet, ATickAfterTheSplashClosedDoesNothing) {
    for (int k = 0; k < TForm10::kTicks; ++k)
        splash.Timer1Timer();
    const int closedBySplash = closes;
    mainForm.Timer3.onTimer();
    EXPECT_EQ(closes, closedBySplash);
    EXPECT_FALSE(IsWindowVisible(splash.handle()));
    EXPECT_FALSE(mainForm.Timer3.enabled());
}

// The splash is done; the program is then minimised and restored through
// the splash's taskbar button.
struct MinimisedProgram : testing::Test {
    Form mainWindow{"main", 200, 100};
    TForm10 splash{true};
    HWND owner = Application::instance().ownerWindow();
    MinimisedProgram() {
        splash.setMainWindow(&mainWindow);
        splash.show();
        for (int k = 0; k < TForm10::kTicks; ++k)
            splash.Timer1Timer();
        mainWindow.show();
    }
};

TEST_F(MinimisedProgram, MinimisingShowsTheSplashMinimisedInsteadOfTheMainWindow) {
    Application::instance().minimize();  // runs the splash's handler
    EXPECT_TRUE(IsWindowVisible(splash.handle()));
    EXPECT_TRUE(IsIconic(splash.handle()));
    EXPECT_FALSE(splash.visible());  // not shown as far as the framework knows
    EXPECT_FALSE(IsWindowVisible(mainWindow.handle()));
    EXPECT_EQ(splash.caption(), Application::instance().title());
}

TEST_F(MinimisedProgram, RestoringFromTheSplashsButtonBringsTheMainWindowBack) {
    ShowWindow(mainWindow.handle(), SW_MINIMIZE);  // as the application minimises it
    splash.AppMinimize();
    ASSERT_TRUE(IsIconic(splash.handle()));

    SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsWindowVisible(splash.handle()));
    EXPECT_TRUE(IsWindowVisible(mainWindow.handle()));
    EXPECT_FALSE(IsIconic(mainWindow.handle()));
    EXPECT_TRUE(mainWindow.visible());
    EXPECT_EQ(GetActiveWindow(), mainWindow.handle());
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_FALSE(splash.visible());
}

TEST_F(MinimisedProgram, TheLowBitsOfTheCommandDoNotMatter) {
    splash.AppMinimize();
    SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_RESTORE | 0x2, 0);
    EXPECT_FALSE(IsWindowVisible(splash.handle()));
    EXPECT_TRUE(IsWindowVisible(mainWindow.handle()));
}

TEST(SplashCommands, WhileLoadingMinimiseAndRestoreActOnTheSplashAndHideTheOwner) {
    HWND owner = Application::instance().ownerWindow();
    Form mainWindow("main", 200, 100);
    TForm10 splash(true);
    splash.setMainWindow(&mainWindow);
    splash.show();
    splash.Timer1.setEnabled(false);  // hold the splash at its first ticks
    ShowWindow(owner, SW_SHOWNA);

    SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(splash.handle()));
    EXPECT_FALSE(IsWindowVisible(owner));
    ShowWindow(owner, SW_SHOWNA);
    SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(splash.handle()));
    EXPECT_TRUE(IsWindowVisible(splash.handle()));
    EXPECT_FALSE(IsWindowVisible(owner));
    // The main window is not brought in while the splash is up.
    EXPECT_FALSE(IsWindowVisible(mainWindow.handle()));
}

TEST(SplashCommands, OnAnOlderVersionTheOwnerIsLeftAlone) {
    HWND owner = Application::instance().ownerWindow();
    TForm10 splash(false);
    splash.show();
    splash.Timer1.setEnabled(false);
    ShowWindow(owner, SW_SHOWNA);
    SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(owner));
    ShowWindow(owner, SW_HIDE);
}

}  // namespace
}  // namespace tolvar
