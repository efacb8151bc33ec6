// The tray icon that stands in for the main window, and the About window:
// the icon's record, what brings the window back and what does not, Escape
// and the close area of the About window, its terms text, and the two
// commands that show it.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>

#include "app/single_instance_win.h"
#include "framework/application_win.h"
#include "framework/text_lines.h"
#include "framework/thread_win.h"
#include "framework/timer_win.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/about_window_win.h"
#include "ui/main_form_win.h"

namespace tolvar {
namespace {

// Whether the shell still has an icon of this record; false too where the
// test runs without a notification area.
bool ShellHasIcon(const NOTIFYICONDATAA& record) {
    NOTIFYICONDATAA probe = record;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

bool HaveNotificationArea() {
    return FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

// Runs the command menu's item of this caption.
void ChooseMenuItem(TForm1& form, const std::string& caption) {
    form.PopupMenu1.chooser = [caption](const std::vector<PopupMenu::Item>& items) {
        auto it = std::find_if(items.begin(), items.end(),
                               [&](const PopupMenu::Item& i) { return i.caption == caption; });
        return it == items.end() ? -1 : static_cast<int>(it - items.begin());
    };
    SendMessageA(form.handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.handle()),
                 MAKELPARAM(-1, -1));
    form.PopupMenu1.chooser = nullptr;
}

// The main window as the program runs it: the application's main form,
// under the program's title.
struct Tray : testing::Test {
    Tray() {
        ScanState = "idle";
        app.setTitle("Tolvar Antivirus");
        app.setMainForm(&form);
        form.show();
    }
    ~Tray() override {
        app.setMainForm(nullptr);
        app.setTitle(savedTitle);
    }
    Application& app = Application::instance();
    const std::string savedTitle = app.title();
    test::RecordingCommands commands;
    TForm1 form{commands};
};

TEST_F(Tray, TheMenuItemPutsUpTheIconWithItsRecordAndHidesTheWindow) {
    ChooseMenuItem(form, "Minimize to System Tray");
    ASSERT_TRUE(form.tray().isUp());
    const NOTIFYICONDATAA& r = form.tray().record();
    EXPECT_EQ(r.cbSize, NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(r.hWnd, form.handle());
    EXPECT_EQ(r.uID, 0u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 1025u);
    EXPECT_NE(r.hIcon, nullptr);
    EXPECT_STREQ(r.szTip, "Tolvar Antivirus");
    // Minimised first, then gone from the screen and the taskbar.
    EXPECT_TRUE(IsIconic(form.handle()));
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_FALSE(IsWindowVisible(app.ownerWindow()));
    if (HaveNotificationArea()) {
        EXPECT_TRUE(ShellHasIcon(r));
    }
}

TEST_F(Tray, ALongTitleIsCutToTheFirstFormsTipField) {
    // The shell reads 64 bytes of tip from a record of the first form: the
    // tip must end within them.
    app.setTitle(std::string(100, 'T'));
    form.SysMin();
    const NOTIFYICONDATAA& r = form.tray().record();
    EXPECT_EQ(std::string(r.szTip), std::string(63, 'T'));
}

TEST_F(Tray, LeftOrRightPressBringsTheWindowBackAndDeletesTheIcon) {
    for (LPARAM press : {LPARAM{WM_LBUTTONDOWN}, LPARAM{WM_RBUTTONDOWN}}) {
        SCOPED_TRACE(press == WM_LBUTTONDOWN ? "left" : "right");
        form.MinimizeToTray();
        ASSERT_TRUE(form.tray().isUp());
        SendMessageA(form.handle(), TrayCallbackMessage, 0, press);
        EXPECT_TRUE(form.visible());
        EXPECT_TRUE(IsWindowVisible(form.handle()));
        EXPECT_FALSE(IsIconic(form.handle()));
        EXPECT_FALSE(form.tray().isUp());
        EXPECT_FALSE(ShellHasIcon(form.tray().record()));
    }
}

TEST_F(Tray, OtherMouseEventsOnTheIconDoNothing) {
    form.MinimizeToTray();
    for (LPARAM event : {LPARAM{WM_MOUSEMOVE}, LPARAM{WM_LBUTTONUP}, LPARAM{WM_RBUTTONUP},
                         LPARAM{WM_LBUTTONDBLCLK}, LPARAM{WM_MBUTTONDOWN}}) {
        SendMessageA(form.handle(), TrayCallbackMessage, 0, event);
        EXPECT_FALSE(IsWindowVisible(form.handle())) << event;
        EXPECT_TRUE(form.tray().isUp()) << event;
    }
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
}

TEST_F(Tray, EnterOrSpaceOnTheIconBringsTheWindowBack) {
    // A shell that knows newer icons tells a keyboard choice as "select" or
    // "key select"; older ones send a right press, handled above.
    for (LPARAM chosen : {LPARAM{NIN_KEYSELECT}, LPARAM{NIN_SELECT}}) {
        form.MinimizeToTray();
        ASSERT_TRUE(form.tray().isUp());
        SendMessageA(form.handle(), TrayCallbackMessage, 0, chosen);
        EXPECT_TRUE(IsWindowVisible(form.handle())) << chosen;
        EXPECT_FALSE(form.tray().isUp()) << chosen;
    }
}

TEST_F(Tray, ANewTaskbarGetsTheIconAgainSoTheProgramStaysReachable) {
    form.MinimizeToTray();
    ASSERT_TRUE(form.tray().isUp());
    // Explorer restarted: its new taskbar shows none of the old icons.
    NOTIFYICONDATAA lost = form.tray().record();
    Shell_NotifyIconA(NIM_DELETE, &lost);
    EXPECT_FALSE(ShellHasIcon(form.tray().record()));
    SendMessageA(form.handle(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(form.tray().isUp());
    if (HaveNotificationArea()) {
        EXPECT_TRUE(ShellHasIcon(form.tray().record()));
    }
    // The icon still leads back, and is gone after.
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_FALSE(ShellHasIcon(form.tray().record()));
    // A new taskbar while the window is shown adds no icon.
    SendMessageA(form.handle(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(form.tray().isUp());
    EXPECT_FALSE(ShellHasIcon(form.tray().record()));
}

TEST_F(Tray, TheOwnerWindowComesBackOnlyIfTheTrayHidIt) {
    HWND owner = app.ownerWindow();
    ASSERT_FALSE(IsWindowVisible(owner));
    form.MinimizeToTray();
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(owner));

    ShowWindow(owner, SW_SHOWNA);
    form.MinimizeToTray();
    EXPECT_FALSE(IsWindowVisible(owner));
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_RBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(owner));
    ShowWindow(owner, SW_HIDE);
}

TEST_F(Tray, ARefusedIconLeavesTheWindowOnTheTaskbar) {
    if (!HaveNotificationArea()) GTEST_SKIP() << "no notification area to refuse the icon";
    // The shell takes one icon per window and id: this one is refused.
    TrayIcon first;
    ASSERT_TRUE(first.add(form.handle(), app.icon(), "first"));
    form.MinimizeToTray();
    EXPECT_FALSE(form.tray().isUp());
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_TRUE(IsIconic(form.handle()));
}

// In another process: a second start of the program, up to where it ends.
TEST(SecondCopy, DISABLED_FindsTheRunningCopyAndAsksItForward) {
    SingleInstance second;
    ASSERT_TRUE(second.AnotherCopyRuns());
    EXPECT_EQ(LeaveToRunningCopy(second), RunningCopy::BroughtForward);
}

constexpr const char* kSecondCopyWaits = "Local\\TolvarTests.SecondCopyWaits";

// In another process: a start while a copy without a main window ends.
TEST(SecondCopy, DISABLED_RunsWhenTheOtherCopyEnds) {
    SingleInstance second;
    ASSERT_TRUE(second.AnotherCopyRuns());
    const UniqueHandle waits(OpenEventA(EVENT_MODIFY_STATE, FALSE, kSecondCopyWaits));
    SetEvent(waits.get());
    EXPECT_EQ(LeaveToRunningCopy(second), RunningCopy::Ended);
    EXPECT_FALSE(second.AnotherCopyRuns());
}

// In another process: a start while a copy that never answers holds the
// names.
TEST(SecondCopy, DISABLED_GivesUpOnACopyThatNeverAnswers) {
    SingleInstance second;
    ASSERT_TRUE(second.AnotherCopyRuns());
    EXPECT_EQ(LeaveToRunningCopy(second, 2000), RunningCopy::NotAnswering);
    EXPECT_TRUE(second.AnotherCopyRuns());
}

// Guards against a start that ends without a word when the copy holding the
// names never answers (busy, or another user's): it is told apart, so the
// start can say why it ends.
TEST(SingleCopy, AStartWhoseRunningCopyNeverAnswersIsToldApart) {
    const SingleInstance first;
    ASSERT_FALSE(first.AnotherCopyRuns());
    const UniqueHandle second = test::StartThisProgram("SecondCopy.DISABLED_GivesUp*");
    ASSERT_TRUE(second);
    EXPECT_TRUE(WaitPumping(second.get(), 60000));
    DWORD exitCode = 1;
    GetExitCodeProcess(second.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_NE(NotAnsweringNotice().find("does not answer"), std::string::npos);
}

// A stranger holding a name of the program's in a process of its own (the
// test tool beside this program); ended with this object.
class NameHolder {
public:
    NameHolder(const std::string& mode, const std::string& name) {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string tool = self;
        tool = tool.substr(0, tool.find_last_of('\\') + 1) + "name_holder.exe";
        std::string command = "\"" + tool + "\" " + mode + " " + name;
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return;
        const UniqueHandle reader(readEnd);
        UniqueHandle writer(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(tool.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &process)) {
            return;
        }
        process_.reset(process.hProcess);
        CloseHandle(process.hThread);
        writer.reset();
        char said[16] = "";
        DWORD read = 0;
        held_ = ReadFile(readEnd, said, sizeof said - 1, &read, nullptr) &&
                std::string(said, read).rfind("held", 0) == 0;
    }
    ~NameHolder() {
        if (!process_) return;
        TerminateProcess(process_.get(), 0);
        WaitForSingleObject(process_.get(), 10000);
    }
    NameHolder(const NameHolder&) = delete;
    NameHolder& operator=(const NameHolder&) = delete;
    bool held() const { return held_; }

private:
    UniqueHandle process_;
    bool held_ = false;
};

bool HasPrivateNamespaces() {
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreatePrivateNamespaceW") != nullptr;
}

// Guards against a program without administrator rights keeping the
// program from ever starting by taking its global name first: a start then
// waited 15 s and ended without a word (and the setup refused to run).
// Whether the stranger's name lets nobody in or only is not owned by the
// Administrators, it is not a copy of the program.
TEST(SingleCopy, ANameAStrangerHoldsDoesNotKeepTheProgramFromStarting) {
    for (const char* mode : {"deny", "open"}) {
        const NameHolder stranger(mode, "Global\\Mirebrook.TolvarAntiVirus.Running");
        ASSERT_TRUE(stranger.held()) << mode;
        const SingleInstance start;
        EXPECT_FALSE(start.AnotherCopyRuns()) << mode;
        if (HasPrivateNamespaces()) {
            // The copies still meet, under the name a stranger cannot make.
            EXPECT_TRUE(SingleInstance().AnotherCopyRuns()) << mode;
        }
    }
    // With the stranger gone, the name is the program's again.
    const SingleInstance first;
    EXPECT_FALSE(first.AnotherCopyRuns());
    EXPECT_TRUE(SingleInstance().AnotherCopyRuns());
}

// Guards against a start that ends for good because a copy that was being
// ended still held the program's name, its main window lingering on
// without answering.
TEST(SingleCopy, AStartWhileTheOtherCopyEndsRunsItself) {
    auto first = std::make_unique<SingleInstance>();
    ASSERT_FALSE(first->AnotherCopyRuns());
    Form lingering(TForm1::kCaption, 10, 10);
    const UniqueHandle waits(CreateEventA(nullptr, TRUE, FALSE, kSecondCopyWaits));
    const UniqueHandle second = test::StartThisProgram("SecondCopy.DISABLED_RunsWhen*");
    ASSERT_TRUE(second);
    // Ended only once the second start has found it running.
    EXPECT_TRUE(WaitPumping(waits.get(), 30000));
    first.reset();
    EXPECT_TRUE(WaitPumping(second.get(), 30000));
    DWORD exitCode = 1;
    GetExitCodeProcess(second.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

// Guards against a second copy of the program running beside the first:
// each would rewrite the vault's records and the settings from its own
// memory and drop what the other stored.
TEST_F(Tray, ASecondStartBringsTheWindowBackFromTheTrayAndEnds) {
    const SingleInstance first;
    ASSERT_FALSE(first.AnotherCopyRuns());
    EXPECT_TRUE(SingleInstance().AnotherCopyRuns());
    form.MinimizeToTray();
    ASSERT_FALSE(IsWindowVisible(form.handle()));
    // The splash stays for the run under the program's title, which a
    // search for a window title takes for the main window's.
    Form lookalike("Tolvar Antivirus", 10, 10);

    const UniqueHandle second = test::StartThisProgram("SecondCopy.DISABLED_Finds*");
    ASSERT_TRUE(second);
    EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(form.handle()) != FALSE; }, 30000));
    EXPECT_TRUE(WaitPumping(second.get(), 30000));
    DWORD exitCode = 1;
    GetExitCodeProcess(second.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << "the second start did not find the first";
    EXPECT_FALSE(form.tray().isUp());
    EXPECT_FALSE(IsIconic(form.handle()));
}

TEST(TrayLifetime, AnIconStillUpGoesWithTheMainWindow) {
    if (!HaveNotificationArea()) GTEST_SKIP() << "no notification area to ask";
    NOTIFYICONDATAA record{};
    {
        test::RecordingCommands commands;
        TForm1 form{commands};
        form.SysMin();
        record = form.tray().record();
        ASSERT_TRUE(ShellHasIcon(record));
    }
    EXPECT_FALSE(ShellHasIcon(record));
}

// Keys as the keyboard brings them: posted to the window with the focus and
// translated by the message loop.
void PressKey(int key) {
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
    Application::instance().processMessages();
}

struct About : testing::Test {
    TForm2 about;
};

TEST_F(About, EscapeClosesTheWindowWhileTheWindowHasTheFocus) {
    about.show();
    EXPECT_EQ(GetFocus(), about.handle());
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(about.visible());
    EXPECT_FALSE(IsWindowVisible(about.handle()));
}

TEST_F(About, EscapeInTheTermsTextKeepsTheWindowAndTheText) {
    about.show();
    const std::string before = about.RichEdit1.text();
    SetFocus(about.RichEdit1.handle());
    ASSERT_EQ(GetFocus(), about.RichEdit1.handle());
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(about.visible());
    EXPECT_EQ(about.RichEdit1.text(), before);
    // Shown again, the window takes the keys first.
    about.hide();
    about.show();
    EXPECT_EQ(GetFocus(), about.handle());
}

TEST_F(About, ALeftPressOnTheBackgroundMovesItAndTakesTheKeysBack) {
    about.show();
    test::MoveRequests moves;
    SetFocus(about.RichEdit1.handle());
    SendMessageA(about.handle(), WM_RBUTTONDOWN, MK_RBUTTON, test::Point(300, 150));
    SendMessageA(about.handle(), WM_RBUTTONUP, 0, test::Point(300, 150));
    EXPECT_EQ(moves.count, 0);
    SendMessageA(about.handle(), WM_LBUTTONDOWN, MK_LBUTTON, test::Point(300, 150));
    SendMessageA(about.handle(), WM_LBUTTONUP, 0, test::Point(300, 150));
    EXPECT_EQ(moves.count, 1);
    EXPECT_EQ(GetFocus(), about.handle());
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(about.visible());
}

TEST_F(About, TheCloseAreaOfThePictureClosesIt) {
    about.show();
    test::ClickAt(about.handle(), 600, 505);
    EXPECT_FALSE(about.visible());
}

TEST_F(About, TheTermsAre161LinesThatFitTheBoxAndTakeEdits) {
    const std::vector<std::string> lines = SplitLines(about.RichEdit1.text());
    EXPECT_EQ(lines.size(), 161u);
    EXPECT_NE(about.RichEdit1.text().find("Tolvar AntiVirus"), std::string::npos);
    // No line wraps in the box: the box shows as many lines as the text has.
    EXPECT_EQ(about.RichEdit1.displayLineCount(), 161);
    EXPECT_TRUE(GetWindowLongA(about.RichEdit1.handle(), GWL_STYLE) & WS_VSCROLL);

    about.show();
    SetFocus(about.RichEdit1.handle());
    SendMessageA(about.RichEdit1.handle(), WM_CHAR, 'x', 1);
    EXPECT_EQ(about.RichEdit1.text().find('x'), 0u);
}

TEST_F(About, TheFooterButtonAndTheMenuShowItModally) {
    ScanState = "idle";
    test::RecordingCommands commands;
    commands.showAbout = [&] { about.showModal(); };
    TForm1 form{commands};
    int shownModally = 0;
    Timer closer(50);
    closer.onTimer = [&] {
        if (!about.isModal()) return;
        ++shownModally;
        EXPECT_FALSE(IsWindowEnabled(form.handle()));
        test::ClickAt(about.handle(), 600, 505);
    };
    form.show();
    const Bounds& b = form.Image7.bounds();
    test::ClickAt(form.Image7.parent()->handle(), b.left + b.width / 2, b.top + b.height / 2);
    EXPECT_EQ(shownModally, 1);
    ChooseMenuItem(form, "About");
    EXPECT_EQ(shownModally, 2);
    EXPECT_FALSE(about.visible());
    EXPECT_TRUE(IsWindowEnabled(form.handle()));
}

}  // namespace
}  // namespace tolvar
