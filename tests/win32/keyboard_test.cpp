// The windows from the keyboard alone: Tab and Shift+Tab through the main
// window's buttons, the arrow keys along a row of them, Enter and Space on
// the focused one, the focus rectangle drawn over a face without changing
// it, and Enter and Escape in every message window (its default and cancel
// buttons).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/folders.h"
#include "framework/application_win.h"
#include "framework/button_win.h"
#include "framework/label_win.h"
#include "framework/timer_win.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "scan_fixture.h"
#include "test_support.h"
#include "ui/about_window_win.h"
#include "ui/download_window_win.h"
#include "ui/failure_notice_win.h"
#include "ui/main_form_win.h"
#include "ui/protection_settings_window_win.h"
#include "ui/removal_windows_win.h"
#include "ui/result_windows_win.h"
#include "ui/scan_windows_win.h"
#include "ui/update_prompt_win.h"
#include "ui/update_settings_window_win.h"
#include "updates/system_transport_win.h"

namespace tolvar {
namespace {

// A key as the keyboard gives it: posted to the window that has the focus
// and taken through the application's message loop, with Shift held or not.
void PressKey(int key, bool shift = false) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE shiftBefore = state[VK_SHIFT];
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    const HWND target = GetFocus();
    ASSERT_NE(target, nullptr) << "no window of the thread has the focus";
    PostMessageA(target, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    PostMessageA(target, WM_KEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u));
    Application::instance().processMessages();
    state[VK_SHIFT] = shiftBefore;
    SetKeyboardState(state);
}

std::string FocusedName(const Form& form) {
    const Control* focused = form.keyboard().focused();
    return focused ? focused->accessibleName() : "(none)";
}

// Records the presses of buttons and passes them on to what they do.
struct PressLog {
    void watch(Control& button, const std::string& name) {
        std::function<void()> own = button.onClick;
        button.onClick = [this, own, name] {
            pressed.push_back(name);
            if (own) own();
        };
    }
    std::vector<std::string> pressed;
};

struct KeyboardMainWindow : testing::Test {
    KeyboardMainWindow() {
        ScanState = scan_state::kIdle;
        form.ShowStartPage();
        form.show();
        test::PumpUntil([this] { return form.keyboard().focused() != nullptr; }, 2000);
    }
    ~KeyboardMainWindow() override { ScanState = scan_state::kIdle; }

    std::vector<std::string> tabThrough(int presses, bool backwards = false) {
        std::vector<std::string> names;
        for (int i = 0; i < presses; ++i) {
            PressKey(VK_TAB, backwards);
            names.push_back(FocusedName(form));
        }
        return names;
    }

    test::RecordingCommands commands;
    TForm1 form{commands};
};

TEST_F(KeyboardMainWindow, TabVisitsEveryShownButtonInOrderAndShiftTabGoesBack) {
    // The window opens with the focus on its first button, not on nothing.
    EXPECT_EQ(FocusedName(form), "Scan");
    EXPECT_EQ(tabThrough(10), (std::vector<std::string>{"Results", "History", "Virus Database",
                                                        "Full Scan", "Scan Folders", "About",
                                                        "Options", "Minimize", "Close", "Scan"}));
    EXPECT_EQ(tabThrough(2, true), (std::vector<std::string>{"Close", "Minimize"}));
    // Moving the focus presses nothing.
    EXPECT_TRUE(commands.given.empty());
    EXPECT_EQ(form.CurrentPage, Page::Scan);
}

TEST_F(KeyboardMainWindow, EnterOnFullScanStartsTheScanAndSpacePressesToo) {
    for (int i = 0; i < 4; ++i)
        PressKey(VK_TAB);
    ASSERT_EQ(FocusedName(form), "Full Scan");
    PressKey(VK_RETURN);
    EXPECT_EQ(commands.given, std::vector<std::string>{"StartScan"});
    PressKey(VK_TAB);
    ASSERT_EQ(FocusedName(form), "Scan Folders");
    PressKey(VK_SPACE);
    EXPECT_EQ(commands.given, (std::vector<std::string>{"StartScan", "ChooseFoldersToScan"}));
}

TEST_F(KeyboardMainWindow, EnterPressesStartScanOfTheProgressView) {
    form.scanPage().ShowProgressView();
    std::vector<std::string> seen;
    for (int i = 0; i < 12 && FocusedName(form) != "Start Scan"; ++i) {
        PressKey(VK_TAB);
        seen.push_back(FocusedName(form));
    }
    ASSERT_EQ(FocusedName(form), "Start Scan") << testing::PrintToString(seen);
    PressKey(VK_RETURN);
    EXPECT_EQ(commands.given, std::vector<std::string>{"StartScan"});
    // The scan commands are one row for the arrow keys.
    PressKey(VK_RIGHT);
    EXPECT_EQ(FocusedName(form), "Pause Scanning");
    PressKey(VK_LEFT);
    PressKey(VK_LEFT);
    EXPECT_EQ(FocusedName(form), "Remove Found Infections");
}

TEST_F(KeyboardMainWindow, ArrowsMoveAlongThePageButtonsRoundAndRoundWithoutPressing) {
    ASSERT_EQ(FocusedName(form), "Scan");
    PressKey(VK_RIGHT);
    EXPECT_EQ(FocusedName(form), "Results");
    PressKey(VK_DOWN);
    EXPECT_EQ(FocusedName(form), "History");
    PressKey(VK_UP);
    PressKey(VK_UP);
    PressKey(VK_LEFT);
    EXPECT_EQ(FocusedName(form), "Virus Database");
    EXPECT_EQ(form.CurrentPage, Page::Scan);
    PressKey(VK_RETURN);
    EXPECT_EQ(form.CurrentPage, Page::VirusDatabase);
}

TEST_F(KeyboardMainWindow, TheFocusRectangleLiesOverTheFaceAndChangesNothingElse) {
    Image& button = form.Image4;  // Results
    WindowedControl& surface = *button.parent();
    // The faces with the focus out of the window: no rectangle anywhere.
    SetFocus(nullptr);
    const Bitmap before = surface.renderOffscreen();
    ASSERT_TRUE(form.keyboard().focus(form.Image3));
    PressKey(VK_TAB);  // the keyboard is used: the rectangle shows
    ASSERT_EQ(form.keyboard().focused(), &button);
    ASSERT_TRUE(form.keyboard().cuesShown());
    const Bitmap after = surface.renderOffscreen();
    ASSERT_EQ(before.width(), after.width());
    const Bounds b = button.bounds();
    int changed = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) == after.pixel(x, y)) continue;
            ++changed;
            // Only the dotted frame two pixels inside the button's edges.
            const int left = b.left + 2, top = b.top + 2;
            const int right = b.left + b.width - 3, bottom = b.top + b.height - 3;
            const bool onFrame = ((x == left || x == right) && y >= top && y <= bottom) ||
                                 ((y == top || y == bottom) && x >= left && x <= right);
            ASSERT_TRUE(onFrame) << "pixel " << x << "," << y << " changed off the frame";
        }
    }
    EXPECT_GT(changed, 0) << "no focus rectangle was drawn";
    // And it goes with the focus.
    PressKey(VK_TAB);
    const Bitmap moved = surface.renderOffscreen();
    for (int y = b.top; y < b.top + b.height; ++y)
        for (int x = b.left; x < b.left + b.width; ++x)
            ASSERT_EQ(moved.pixel(x, y), before.pixel(x, y)) << x << "," << y;
}

// An Alt+letter key as the keyboard gives it.
void PressAltKey(char letter) {
    const HWND target = GetFocus();
    ASSERT_NE(target, nullptr);
    PostMessageA(target, WM_SYSKEYDOWN, static_cast<WPARAM>(letter), LPARAM{1} | (LPARAM{1} << 29));
    PostMessageA(target, WM_SYSKEYUP, static_cast<WPARAM>(letter),
                 static_cast<LPARAM>(0xE0000001u));
    Application::instance().processMessages();
}

TEST(AccessKeysInAWindow, AltAndTheMarkedLetterPressTheButtonAndALabelsAmpersandIsText) {
    Form form("Access keys", 300, 120);
    Button& go = form.add<Button>(10, 10, 100, 24, "&Go");
    Button& stay = form.add<Button>(120, 10, 100, 24, "Stay");
    Label& label = form.add<Label>(10, 50, 200, 16, "Tom & &Jerry");
    int presses = 0;
    go.onClick = [&] { ++presses; };
    stay.onClick = [&] { presses += 100; };
    form.show();
    ASSERT_TRUE(test::PumpUntil([&] { return form.keyboard().focused() != nullptr; }));
    PressAltKey('G');
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(form.keyboard().focused(), &go);
    // A letter no caption marks does nothing.
    PressAltKey('S');
    EXPECT_EQ(presses, 1);
    // To a screen reader the button reads without its marker; a label's
    // '&' is drawn as it is, so it reads as it is and marks no key.
    EXPECT_EQ(go.accessibleName(), "Go");
    EXPECT_EQ(go.accessKey(), 'G');
    EXPECT_EQ(label.accessibleName(), "Tom & &Jerry");
    EXPECT_EQ(label.accessKey(), 0);
    PressAltKey('J');
    EXPECT_EQ(presses, 1);
}

// Shows a window that runs its own modal loop, and gives it keys once it
// is up; what the loop returned.
int ShowModalWithKeys(Form& window, std::vector<int> keys,
                      const std::function<void()>& show = nullptr) {
    Timer typist(30);
    int ticks = 0;
    typist.onTimer = [&] {
        if (++ticks > 300) {
            // The window never got the focus: end its loop rather than hang.
            ADD_FAILURE() << "the window did not take the keyboard focus";
            typist.setEnabled(false);
            window.close();
            return;
        }
        if (!window.visible() || GetFocus() == nullptr) return;
        if (keys.empty()) {
            typist.setEnabled(false);
            return;
        }
        const int key = keys.front();
        keys.erase(keys.begin());
        PressKey(key);
    };
    if (show) {
        show();
        return window.modalResult();
    }
    return window.showModal();
}

// A window of the program that stays up behind the message windows, as the
// main window does: when one closes, the activation comes back to the
// program, and the next one shown is activated (the system gives no
// activation away from another program's window).
struct Backdrop {
    Backdrop() {
        window.show();
        test::PumpUntil([this] { return GetActiveWindow() == window.handle(); }, 2000);
    }
    Form window{"Backdrop", 120, 80};
};

struct MessageWindowKeys : testing::Test {
    MessageWindowKeys() { skin.LoadSkin(Folders().ProgramFolder); }
    Backdrop backdrop;
    Skin skin;
    PressLog log;
};

TEST_F(MessageWindowKeys, TheRemovalPromptRemovesOnEnterAndNotOnEscape) {
    TForm11 prompt(skin);
    log.watch(prompt.Image2, "Remove");
    log.watch(prompt.Image3, "Not Now");
    int removals = 0;
    prompt.ShowPrompt(3, [&] { ++removals; });
    ASSERT_TRUE(test::PumpUntil([&] { return prompt.keyboard().focused() != nullptr; }));
    // The focus starts on the default button.
    EXPECT_EQ(FocusedName(prompt), "Remove");
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(prompt.visible());
    test::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(removals, 0);

    prompt.ShowPrompt(3, [&] { ++removals; });
    ASSERT_TRUE(test::PumpUntil([&] { return prompt.keyboard().focused() != nullptr; }));
    PressKey(VK_RETURN);
    EXPECT_TRUE(test::PumpUntil([&] { return removals == 1; }));
    EXPECT_FALSE(prompt.visible());
    EXPECT_EQ(log.pressed, (std::vector<std::string>{"Not Now", "Remove"}));
}

TEST_F(MessageWindowKeys, TabMovesBetweenTheButtonsAndEnterPressesTheFocusedOne) {
    TForm11 prompt(skin);
    log.watch(prompt.Image2, "Remove");
    log.watch(prompt.Image3, "Not Now");
    int removals = 0;
    prompt.ShowPrompt(1, [&] { ++removals; });
    ASSERT_TRUE(test::PumpUntil([&] { return prompt.keyboard().focused() != nullptr; }));
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(prompt), "Not Now");
    PressKey(VK_RETURN);
    EXPECT_FALSE(prompt.visible());
    test::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(removals, 0);
    EXPECT_EQ(log.pressed, std::vector<std::string>{"Not Now"});
}

TEST_F(MessageWindowKeys, OneButtonWindowsCloseOnEnterAndOnEscape) {
    TForm17 nothingFound(skin);
    ScanFailedForm failed(skin);
    TForm14 notice(skin);
    TForm6 done(skin);
    struct Case {
        const char* name;
        Form& window;
        Control& button;
        std::function<void()> show;
    } cases[] = {
        {"no infections", nothingFound, nothingFound.Image2, [&] { nothingFound.showCentred(); }},
        {"scan failed", failed, failed.Image2, [&] { failed.ShowFailure("exit code 2"); }},
        {"download failed", notice, notice.Image2, [&] { notice.ShowFailure("no connection"); }},
    };
    for (int key : {VK_RETURN, VK_ESCAPE}) {
        for (Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (key == VK_RETURN ? ", Enter" : ", Escape"));
            PressLog presses;
            presses.watch(c.button, "close");
            c.show();
            ASSERT_TRUE(test::PumpUntil([&] { return c.window.keyboard().focused() != nullptr; }));
            PressKey(key);
            EXPECT_FALSE(c.window.visible());
            EXPECT_EQ(presses.pressed, std::vector<std::string>{"close"});
            c.button.onClick = nullptr;
            c.button.onClick = [&c] { c.window.close(); };
        }
        // The removal's result runs its own loop.
        SCOPED_TRACE(key == VK_RETURN ? "removal done, Enter" : "removal done, Escape");
        PressLog presses;
        presses.watch(done.Image3, "OK");
        ShowModalWithKeys(done, {key}, [&] { done.ShowResult(RemovalOutcome{}); });
        EXPECT_FALSE(done.visible());
        EXPECT_EQ(presses.pressed, std::vector<std::string>{"OK"});
        done.Image3.onClick = [&done] { done.close(); };
    }
}

TEST_F(MessageWindowKeys, TheUpdatePromptDownloadsOnEnterAndWaitsOnEscape) {
    TForm15 prompt(skin);
    int downloads = 0;
    prompt.openDownload = [&] { ++downloads; };
    prompt.showCentred();
    ASSERT_TRUE(test::PumpUntil([&] { return prompt.keyboard().focused() != nullptr; }));
    EXPECT_EQ(FocusedName(prompt), "Download");
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(prompt.visible());
    EXPECT_EQ(downloads, 0);
    prompt.showCentred();
    ASSERT_TRUE(test::PumpUntil([&] { return prompt.keyboard().focused() != nullptr; }));
    PressKey(VK_RETURN);
    EXPECT_FALSE(prompt.visible());
    EXPECT_EQ(downloads, 1);
}

TEST_F(MessageWindowKeys, TheDownloadWindowCancelsOnEscapeAndItsCloseWaitsForTheRun) {
    test::RecordingCommands commands;
    TForm1 form{commands};
    TForm14 notice{form.skin()};
    SystemTransport transport;
    TForm8 download{form.skin(), notice, transport};
    download.Timer1.setInterval(600000);  // the run does not start here
    download.show();
    ASSERT_TRUE(test::PumpUntil([&] { return download.keyboard().focused() != nullptr; }));
    EXPECT_EQ(FocusedName(download), "Close");
    // Close does nothing while the run is not over: neither does Enter.
    PressKey(VK_RETURN);
    EXPECT_TRUE(download.visible());
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(download.visible());
}

TEST_F(MessageWindowKeys, EscapeClosesAboutUnlessTheTermsTextHasTheFocus) {
    TForm2 about;
    about.show();
    ASSERT_TRUE(test::PumpUntil([&] { return about.keyboard().focused() != nullptr; }));
    EXPECT_EQ(FocusedName(about), "Close");
    // The text keeps Escape: it does not close the window from there.
    PressKey(VK_TAB);
    ASSERT_EQ(about.keyboard().focused(), &about.RichEdit1);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(about.visible());
    PressKey(VK_TAB);
    EXPECT_EQ(FocusedName(about), "Close");
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(about.visible());
}

TEST_F(MessageWindowKeys, TheSettingsWindowSavesOnEnterAndCancelsOnEscape) {
    TForm12 settings([] {});
    // What the buttons store is tested with the window; here only which
    // one the keys press.
    PressLog presses;
    settings.Button1.onClick = [&] {
        presses.pressed.push_back("Save Settings");
        settings.close();
    };
    presses.watch(settings.Button2, "Cancel");
    for (int key : {VK_ESCAPE, VK_RETURN}) {
        settings.ShowSettings();
        ASSERT_TRUE(test::PumpUntil([&] { return settings.keyboard().focused() != nullptr; }));
        EXPECT_EQ(settings.keyboard().focused(), &settings.Button1);
        PressKey(key);
        EXPECT_FALSE(settings.visible());
    }
    EXPECT_EQ(presses.pressed, (std::vector<std::string>{"Cancel", "Save Settings"}));
}

TEST_F(MessageWindowKeys, TheProtectionWindowTakesOkOnEnterAndCancelsOnEscape) {
    ClamdDaemonOptions options;
    options.clamdExe = "C:\\no-clamd.exe";
    ClamdDaemon daemon(options);
    RealtimeProtection realtime(daemon);
    ProtectionSettingsWindow settings(daemon, realtime);
    PressLog presses;
    settings.OkButton.onClick = [&] {
        presses.pressed.push_back("OK");
        settings.close();
    };
    presses.watch(settings.CancelButton, "Cancel");
    for (int key : {VK_ESCAPE, VK_RETURN}) {
        settings.ShowSettings();
        ASSERT_TRUE(test::PumpUntil([&] { return settings.keyboard().focused() != nullptr; }));
        PressKey(key);
        EXPECT_FALSE(settings.visible());
    }
    EXPECT_EQ(presses.pressed, (std::vector<std::string>{"Cancel", "OK"}));
    // Tab reaches the boxes, the fields, the lists and the buttons ("Take
    // Back" is off: nothing is allowed), real-time protection's and the
    // scheduled scan's among them (its weekdays are off: the schedule is).
    settings.ShowSettings();
    ASSERT_TRUE(test::PumpUntil([&] { return settings.keyboard().focused() != nullptr; }));
    std::vector<std::string> names;
    for (int n = 0; n < 17; ++n) {
        PressKey(VK_TAB);
        names.push_back(FocusedName(settings));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "Add Folder...", "Add Folder...", "All fixed drives", "Allowed files",
                         "Cancel", "Delete vaulted files after N days", "Engine address",
                         "Excluded folders", "Ignored detection names",
                         "Keep the scan engine loaded (faster scans; uses about 1 GB of memory)",
                         "OK", "Off", "Real-time protection", "Recent events", "Remove",
                         "Scheduled scan time (HH:MM)", "Watched folders"}));
    settings.close();
}

using ScanWindowKeys = test::Scans;

TEST_F(ScanWindowKeys, TheStopQuestionStopsOnEnterAndKeepsScanningOnEscape) {
    Backdrop backdrop;
    Skin skin;
    skin.LoadSkin(Folders().ProgramFolder);
    TForm3 question(skin, scan);
    PressLog presses;
    presses.watch(question.Image3, "Yes");
    presses.watch(question.Image2, "No");
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "hang"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().InfectionCount() == 1; }));
    ShowModalWithKeys(question, {VK_ESCAPE});
    EXPECT_EQ(ScanState, "scanning");
    ShowModalWithKeys(question, {VK_RETURN});
    EXPECT_EQ(presses.pressed, (std::vector<std::string>{"No", "Yes"}));
    EXPECT_TRUE(waitIdle());
}

TEST_F(ScanWindowKeys, TheFolderChooserStartsOnEnterClosesOnEscapeAndItsListKeepsTheArrows) {
    Backdrop backdrop;
    Skin skin;
    skin.LoadSkin(Folders().ProgramFolder);
    TForm16 chooser(skin, scan);
    PressLog presses;
    // Starting a scan is tested with the window; here only which button
    // the keys press.
    chooser.Image2.onClick = [&] {
        presses.pressed.push_back("Start Scan");
        chooser.close();
    };
    presses.watch(chooser.Image3, "Cancel");
    chooser.onShow = [] {};
    chooser.showCentred();
    ASSERT_TRUE(test::PumpUntil([&] { return chooser.keyboard().focused() != nullptr; }));
    EXPECT_EQ(FocusedName(chooser), "Start Scan");
    // Tab reaches the list, whose arrow keys move through its rows.
    chooser.ListBox1.addItem(path("target") + "\\");
    chooser.ListBox1.addItem("Z:\\");
    for (int i = 0; i < 5 && chooser.keyboard().focused() != &chooser.ListBox1; ++i)
        PressKey(VK_TAB);
    ASSERT_EQ(chooser.keyboard().focused(), &chooser.ListBox1);
    PressKey(VK_DOWN);
    EXPECT_EQ(chooser.keyboard().focused(), &chooser.ListBox1);
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(presses.pressed, std::vector<std::string>{"Cancel"});
    // Shown again, the focus starts on Start Scan, and Enter presses it.
    chooser.showCentred();
    ASSERT_TRUE(test::PumpUntil([&] { return chooser.keyboard().focused() != nullptr; }));
    PressKey(VK_RETURN);
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(presses.pressed, (std::vector<std::string>{"Cancel", "Start Scan"}));
}

}  // namespace
}  // namespace tolvar
