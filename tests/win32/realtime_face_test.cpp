// What real-time protection shows the user: the tray icon that stays beside
// the window with the state in its tip, the balloons it shows (seen through
// the tray's notify call, which still reaches the shell), Close that keeps
// the program in the tray while real-time protection is wanted and ends it
// without, the menu's Exit and its checked item, the start into the tray,
// and the Protection window's group, which stores the check box and the
// watched folders.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/program_win.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "fake_clamd_support.h"
#include "framework/application_win.h"
#include "notify_log.h"
#include "protection/realtime_events_win.h"
#include "protection/realtime_setting_win.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/protection_settings_window_win.h"
#include "ui/realtime_words.h"
#include "ui/tray_notice_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::NotifyLog;

// The program's subkey "watch" and the events file gone, as on a computer
// where real-time protection was never touched.
void ForgetRealtime() {
    const std::string path = std::string(kRegistryKey) + kWatchSubkey;
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
    std::error_code ignored;
    fs::remove(Folders().DataFolder + kRealtimeEventsFile, ignored);
}

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

bool MenuChecked(TForm1& form) {
    const PopupMenu::Item* item = form.PopupMenu1.find("Real-time Protection");
    return item && item->checked;
}

// The main window alone, as in the tray's tests; its Close is counted
// instead of ending the test program.
struct RealtimeTray : testing::Test {
    RealtimeTray() {
        ForgetRealtime();
        ScanState = "idle";
        app.setTitle("Tolvar Antivirus");
        log.watch(form.tray());
        form.onClose = [this] { ++closes; };
        form.show();
    }
    ~RealtimeTray() override {
        app.setTitle(savedTitle);
        ForgetRealtime();
    }
    Application& app = Application::instance();
    const std::string savedTitle = app.title();
    // Before the window, whose icon calls it as it goes.
    NotifyLog log;
    test::RecordingCommands commands;
    TForm1 form{commands};
    int closes = 0;
};

// Guards against the icon going with the window's return (nothing would
// show that protection runs) and against a tip that does not follow the
// state.
TEST_F(RealtimeTray, TheIconStaysBesideTheWindowWithTheStateInItsTip) {
    form.ShowRealtimeState(true, false);
    ASSERT_TRUE(form.tray().isUp());
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_STREQ(form.tray().record().szTip,
                 "Tolvar Antivirus - real-time protection waiting for the engine");
    EXPECT_TRUE(MenuChecked(form));

    form.ShowRealtimeState(true, true);
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(log.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(log.calls.back().record.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_STREQ(log.calls.back().record.szTip, "Tolvar Antivirus - real-time protection on");

    form.MinimizeToTray();
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_TRUE(form.tray().isUp());

    // Off: the icon beside the window goes; the menu's check too.
    form.ShowRealtimeState(false, false);
    EXPECT_FALSE(form.tray().isUp());
    EXPECT_FALSE(MenuChecked(form));
    // Off while in the tray: the icon, the one way back, stays.
    form.MinimizeToTray();
    form.ShowRealtimeState(false, false);
    EXPECT_TRUE(form.tray().isUp());
    EXPECT_STREQ(form.tray().record().szTip, "Tolvar Antivirus - real-time protection off");
}

// Guards against Close ending real-time protection with the program, and
// against a program that stays without a word.
TEST_F(RealtimeTray, CloseWithRealtimeWantedGoesToTheTrayAndSaysSoTheFirstTime) {
    form.ShowRealtimeState(true, true);
    test::Click(form.Image10);
    EXPECT_EQ(closes, 0);
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_TRUE(form.hiddenInTray());
    EXPECT_TRUE(form.tray().isUp());
    ASSERT_EQ(log.balloons().size(), 1u);
    const NOTIFYICONDATAA& said = log.balloons().front().record;
    EXPECT_NE(std::string(said.szInfo).find("Choose Exit"), std::string::npos) << said.szInfo;
    EXPECT_EQ(said.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(RegistryKey(kWatchSubkey).ReadNamedDword(kTrayNoticeValue), 1u);

    // Alt+F4 and the system menu's Close, the second time: no balloon.
    SendMessageA(form.handle(), TrayCallbackMessage, 0, NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(IsWindowVisible(form.handle()));
    SendMessageA(form.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(closes, 0);
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_EQ(log.balloons().size(), 1u);
}

// Guards against Close changing for users without real-time protection.
TEST_F(RealtimeTray, CloseWithoutRealtimeEndsTheProgramAsBefore) {
    form.ShowRealtimeState(false, false);
    test::Click(form.Image10);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_FALSE(form.tray().isUp());
    EXPECT_TRUE(log.balloons().empty());

    form.show();
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closes, 2);
}

TEST_F(RealtimeTray, ExitEndsTheProgramAlsoWhileRealtimeIsWanted) {
    form.ShowRealtimeState(true, true);
    ChooseMenuItem(form, "Exit");
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(form.skin().Slots().PaintingSuppressed());
    // The menu's last item, after a separator.
    const auto& items = form.PopupMenu1.items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.back().caption, "Exit");
    EXPECT_TRUE(items[items.size() - 2].caption.empty());
}

TEST_F(RealtimeTray, AClickOnABalloonBringsTheWindowBack) {
    form.ShowRealtimeState(true, true);
    form.MinimizeToTray();
    ASSERT_FALSE(IsWindowVisible(form.handle()));
    form.ShowBalloon("Threat quarantined", "x", BalloonIcon::Info);
    SendMessageA(form.handle(), TrayCallbackMessage, 0, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_FALSE(IsIconic(form.handle()));
}

// Guards against a start at logon before the taskbar is there leaving
// real-time protection without its icon for the whole session.
TEST_F(RealtimeTray, TheIconGoesUpWhenTheTaskbarComesAfterARefusal) {
    if (FindWindowA("Shell_TrayWnd", nullptr) == nullptr)
        GTEST_SKIP() << "no notification area to refuse the icon";
    {
        // The shell takes one icon per window and id: the program's is
        // refused while this one stands.
        TrayIcon first;
        ASSERT_TRUE(first.add(form.handle(), app.icon(), "first"));
        form.ShowRealtimeState(true, false);
        EXPECT_FALSE(form.tray().isUp());
    }
    SendMessageA(form.handle(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(form.tray().isUp());
}

// Guards against a tray start that shows the window, or hides it with no
// way back.
TEST(TrayStart, TheWindowStaysHiddenAndTheIconBringsIt) {
    ScanState = "idle";
    test::RecordingCommands commands;
    TForm1 form{commands};
    Application& app = Application::instance();
    app.setMainForm(&form);
    form.StartInTray();
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_TRUE(form.tray().isUp());
    EXPECT_TRUE(form.hiddenInTray());
    SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    app.setMainForm(nullptr);
}

// The whole program: what real-time protection tells it reaches the tray
// and the menu.
class RealtimeProgram : public testing::Test {
protected:
    RealtimeProgram() {
        ForgetRealtime();
        program.mainForm().StopUpdateCheck();
        log.watch(form.tray());
    }
    ~RealtimeProgram() override { ForgetRealtime(); }
    // Before the program, whose icon calls it as it goes.
    NotifyLog log;
    TForm10 splash;
    Program program{splash};
    TForm1& form = program.mainForm();
};

// Guards against a detection told to no one, and against a balloon whose
// texts overrun their fields (the shell reads no further than the field).
TEST_F(RealtimeProgram, ADetectionShowsABalloonWithTheNameAndTheFile) {
    AddRealtimeEvent(
        {"", "C:\\Users\\me\\Downloads\\eicar.com", "Eicar-Test-Signature", kActionQuarantined});
    // A name of many two-byte characters: the cut must not halve one.
    std::string umlauts;
    for (int i = 0; i < 150; ++i)
        umlauts += "\xC3\xA4";
    AddRealtimeEvent({"", "C:\\Users\\me\\Downloads\\" + umlauts + ".exe", "Win.Test.Long",
                      std::string(kActionNotRemoved) + ": the file is in use"});
    const std::vector<RealtimeEvent> events = LoadRealtimeEvents();
    ASSERT_EQ(events.size(), 2u);
    for (const RealtimeEvent& event : events)
        program.realtime().onDetection(event);

    const std::vector<NotifyLog::Call> balloons = log.balloons();
    ASSERT_EQ(balloons.size(), 2u);
    const NOTIFYICONDATAA& quarantined = balloons[0].record;
    EXPECT_EQ(quarantined.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
    EXPECT_STREQ(quarantined.szInfoTitle, "Threat quarantined");
    EXPECT_NE(std::string(quarantined.szInfo).find("Eicar-Test-Signature"), std::string::npos);
    EXPECT_NE(std::string(quarantined.szInfo).find("eicar.com"), std::string::npos);
    EXPECT_EQ(quarantined.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));

    const NOTIFYICONDATAA& kept = balloons[1].record;
    EXPECT_STREQ(kept.szInfoTitle, "Threat found, not removed");
    EXPECT_EQ(kept.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    const std::string text = kept.szInfo;
    EXPECT_LT(text.size(), sizeof kept.szInfo);
    EXPECT_EQ(text.rfind("Win.Test.Long in ", 0), 0u) << text;
    // Cut after a whole character: the last byte is the second of "ä".
    EXPECT_EQ(static_cast<unsigned char>(text.back()), 0xA4u);
}

// Guards against a menu check that does not match what is stored, and a
// choice that is not stored for the next start.
TEST_F(RealtimeProgram, TheMenuItemIsCheckedWhileWantedAndStoresTheOpposite) {
    StoreRealtimeWanted(true);
    program.realtime().Apply();
    EXPECT_TRUE(MenuChecked(form));
    EXPECT_TRUE(form.tray().isUp());

    ChooseMenuItem(form, "Real-time Protection");
    EXPECT_FALSE(RealtimeWanted());
    EXPECT_FALSE(program.realtime().Wanted());
    EXPECT_FALSE(MenuChecked(form));
    EXPECT_TRUE(std::string(form.tray().record().szTip).ends_with(" - real-time protection off"))
        << form.tray().record().szTip;

    ChooseMenuItem(form, "Real-time Protection");
    EXPECT_TRUE(RealtimeWanted());
    EXPECT_TRUE(MenuChecked(form));
    EXPECT_TRUE(form.tray().isUp());
}

// The Protection window's group, as the program wires it.
class RealtimeSettings : public testing::Test {
protected:
    RealtimeSettings()
        : dir(fs::temp_directory_path() / "tolvar-watched"),
          daemon(Options()),
          window(daemon, realtime) {
        ForgetRealtime();
        fs::remove_all(dir);
        fs::create_directories(dir / "Builds");
        daemon.onChange = [this] {
            if (window.visible()) window.RefreshState();
        };
    }
    ~RealtimeSettings() override {
        daemon.ShutDown();
        ForgetRealtime();
        fs::remove_all(dir);
    }
    static ClamdDaemonOptions Options() {
        ClamdDaemonOptions options;
        options.clamdExe = test::BesideTests("no-clamd.exe");
        options.pollMs = 100;
        return options;
    }
    std::vector<std::string> listed() const {
        std::vector<std::string> items;
        for (int i = 0; i < window.WatchedList.count(); ++i)
            items.push_back(window.WatchedList.item(i));
        return items;
    }
    fs::path dir;
    ClamdDaemon daemon;
    RealtimeProtection realtime{daemon};
    ProtectionSettingsWindow window;
};

// Guards against OK dropping the folders or the check box the user set,
// and against one folder listed twice.
TEST_F(RealtimeSettings, OkStoresTheCheckBoxAndTheFoldersAndAppliesThem) {
    window.ShowSettings();
    EXPECT_TRUE(window.RealtimeCheck.checked());
    EXPECT_EQ(listed(), DefaultWatchedFolders());

    const std::string builds = (dir / "Builds").string();
    window.chooseWatchedFolder = [&] { return builds; };
    window.AddWatchedButton.click();
    // The same folder again, as the picker may spell it.
    std::string upper = builds;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    window.chooseWatchedFolder = [&] { return upper; };
    window.AddWatchedButton.click();
    std::vector<std::string> expected = DefaultWatchedFolders();
    expected.push_back(builds);
    EXPECT_EQ(listed(), expected);

    // The first default goes.
    window.WatchedList.setItemIndex(0);
    window.RemoveWatchedButton.click();
    expected.erase(expected.begin());
    EXPECT_EQ(listed(), expected);

    window.RealtimeCheck.setChecked(false);
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_FALSE(RealtimeWanted());
    EXPECT_EQ(WatchedFolders(), expected);
    EXPECT_FALSE(realtime.Wanted());
    EXPECT_EQ(realtime.StateWords(), "Off");

    // Shown again: what was stored.
    window.ShowSettings();
    EXPECT_FALSE(window.RealtimeCheck.checked());
    EXPECT_EQ(listed(), expected);
    EXPECT_EQ(window.RealtimeStateText.caption(), "Off");
    window.close();
}

TEST_F(RealtimeSettings, CancelStoresNeither) {
    window.ShowSettings();
    window.RealtimeCheck.setChecked(false);
    window.WatchedList.setItemIndex(0);
    window.RemoveWatchedButton.click();
    window.CancelButton.click();
    EXPECT_TRUE(RealtimeWanted());
    EXPECT_EQ(WatchedFolders(), DefaultWatchedFolders());
}

// Guards against the oldest event shown first, where the user looks for
// what just happened.
TEST_F(RealtimeSettings, RecentEventsShowNewestFirst) {
    AddRealtimeEvent({"2026-12-09 10:00:00", "C:\\Users\\me\\Downloads\\old.com",
                      "Eicar-Test-Signature", kActionQuarantined});
    AddRealtimeEvent({"2026-12-09 11:00:00", "C:\\Users\\me\\Downloads\\new.exe", "Win.Test",
                      std::string(kActionNotRemoved) + ": in use"});
    window.ShowSettings();
    ASSERT_EQ(window.EventsList.count(), 2);
    EXPECT_EQ(window.EventsList.item(0).rfind("2026-12-09 11:00:00", 0), 0u);
    EXPECT_NE(window.EventsList.item(0).find("new.exe"), std::string::npos);
    EXPECT_NE(window.EventsList.item(0).find("Win.Test"), std::string::npos);
    EXPECT_NE(window.EventsList.item(1).find("old.com"), std::string::npos);
    window.close();
}

}  // namespace
}  // namespace tolvar
