// Database updates from a private mirror through the windows against the
// test mirror: a good run installs and counts; every failure (a cut file of
// unknown length and a damaged one among them) leaves the live databases
// and the counts alone and says why; a 429 holds back the next run; Cancel,
// Alt+F4 and Close behave; the proxy gets its login; a weekly run brings
// the daily database too; the schedule offers an update only when one is
// due.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/program_win.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "download_windows.h"
#include "history/scan_history.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_mirror.h"
#include "test_support.h"
#include "ui/download_window_win.h"
#include "ui/failure_notice_win.h"
#include "ui/main_form_win.h"
#include "ui/update_prompt_win.h"
#include "updates/cool_down_store.h"
#include "updates/database_files.h"
#include "updates/system_transport_win.h"

namespace tolvar {
namespace {

using test::Later;

namespace fs = std::filesystem;

using test::Content;

using test::Click;

class Updates : public testing::Test, protected test::DownloadWindows {
protected:
    Updates() {
        ScanState = scan_state::kIdle;
        saved_ = Settings();
        form.ShowStartPage();
        form8.stopUpdateCheck = [this] { form.Timer2.setEnabled(false); };
        prompt.openDownload = [this] { form8.showModal(); };
        if (mirror.available()) RegistryKey("mirror").WriteText(mirror.address());
        RegistryKey("cooldown").WriteText("");
        for (const char* name : {"main.cvd", "daily.cvd", "main2.cvd", "daily2.cvd"})
            fs::remove(db(name));
        std::ofstream(db("main.cvd"), std::ios::binary) << kLive;
        std::ofstream(db("daily.cvd"), std::ios::binary) << kLiveDaily;
        Settings().SetLastUpdateDate(TodaySerial() - 100);
        Settings().SetTotalUpdates(3);
        Settings().SetLastUpdateSize(777);
        Settings().SetUseProxy(false);
        Settings().SetCheckSchedule(UpdateSchedule::Daily);
        Settings().SetFoundAction(FoundUpdateAction::AskToDownload);
    }
    ~Updates() override {
        if (form8.visible()) form8.close();
        form8.Timer2.setEnabled(false);
        RegistryKey("mirror").WriteText("");
        RegistryKey("cooldown").WriteText("");
        // A run stores the record: the next test starts from what was stored
        // before this one.
        Settings() = saved_;
        SaveSettings();
    }

    static std::string db(const std::string& name) { return Folders().DatabaseFolder + name; }

    void expectNothingChanged() {
        EXPECT_EQ(Content(db("main.cvd")), kLive);
        EXPECT_EQ(Content(db("daily.cvd")), kLiveDaily);
        EXPECT_EQ(Settings().TotalUpdates(), 3);
        EXPECT_EQ(Settings().LastUpdateSize(), 777);
        EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100);
        EXPECT_FALSE(fs::exists(db("main2.cvd")));
        for (const auto& entry : fs::directory_iterator(Folders().DatabaseFolder)) {
            EXPECT_NE(entry.path().filename().string().rfind("tdl", 0), 0u)
                << "a transfer's file was left: " << entry.path().string();
        }
    }

    // The full and the daily database on the mirror.
    void publish(const std::string& main, const std::string& daily) {
        mirror.put("main.cvd", main);
        mirror.put("daily.cvd", daily);
    }

    const std::string kLive = "live main database";
    const std::string kLiveDaily = "live daily database";
    SettingsRecord saved_;
    test::Mirror mirror;
    TForm15 prompt{form.skin()};
};

TEST_F(Updates, AGoodRunInstallsTheFullAndTheDailyDatabaseAndCountsIt) {
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string main = test::Mirror::Database(7, 30000);
    const std::string daily = test::Mirror::Database(8, 3000, 'd');
    publish(main, daily);
    run();
    EXPECT_TRUE(form8.visible());
    EXPECT_TRUE(form8.Label2.visible());
    EXPECT_EQ(form8.Label2.caption(),
              "The Updates have successfully been downloaded and installed.");
    EXPECT_FALSE(form8.Gauge1.visible());
    EXPECT_EQ(form8.Label1.caption(), "Downloading daily.cvd (2 of 2)");
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Content(db("daily.cvd")), daily);
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(main.size() + daily.size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    EXPECT_FALSE(notice.visible());
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(mirror.requests(),
              (std::vector<std::string>{"GET /main.cvd proxy=no proxy-authorization=-",
                                        "GET /daily.cvd proxy=no proxy-authorization=-"}));

    // Close ends the window once the run is complete.
    Click(form8.Image2);
    EXPECT_FALSE(form8.visible());

    // The page shows the new figures when it is shown again.
    form.Action2Execute();
    EXPECT_EQ(form.lblUpdates.caption(), "4");
    EXPECT_EQ(form.lblSize.caption(), std::to_string(main.size() + daily.size()) + " bytes");
    EXPECT_EQ(form.lblUpdate.caption(), ShortDateOf(TodaySerial()));
    EXPECT_TRUE(form.Panel6.visible());

    // The next run the same day fetches only the daily file.
    const std::string newer = test::Mirror::Database(9, 2000, 'e');
    mirror.put("daily.cvd", newer);
    run();
    EXPECT_EQ(Content(db("daily.cvd")), newer);
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Settings().TotalUpdates(), 5);
    EXPECT_EQ(mirror.requests().back(), "GET /daily.cvd proxy=no proxy-authorization=-");
}

TEST_F(Updates, AWeeklyRunBringsTheDailyDatabaseWithItsNewSignatures) {
    // Before, a run a week after the last fetched only the full database
    // again, and new signatures never arrived.
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string daily = test::Mirror::Database(8, 3000, 'd');
    publish(test::Mirror::Database(7, 30000), daily);
    Settings().SetCheckSchedule(UpdateSchedule::Weekly);
    Settings().SetLastUpdateDate(TodaySerial() - 7);
    run();
    EXPECT_EQ(mirror.requests().back(), "GET /daily.cvd proxy=no proxy-authorization=-");
    EXPECT_EQ(Content(db("daily.cvd")), daily);
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
}

TEST_F(Updates, AFailedRunChangesNothingAndSaysWhy) {
    TOLVAR_NEEDS_MIRROR(mirror);
    publish(test::Mirror::Database(7, 30000), test::Mirror::Database(8, 3000, 'd'));
    const struct {
        const char* mode;
        const char* reason;
    } cases[] = {
        {"404", "(HTTP 404)"},
        {"403", "set a mirror you may use"},
        {"429", "(HTTP 429); try again in 2 minutes"},
        {"html", "not a signature database"},
        {"short", "cut short"},
        // Before, such a file was installed and counted.
        {"unsized-short", "did not say how long the file is"},
        {"corrupt", "its checksum does not match"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        mirror.setMode(c.mode);
        run();
        EXPECT_FALSE(form8.visible());
        EXPECT_TRUE(notice.visible());
        EXPECT_NE(notice.Label8.caption().find(c.reason), std::string::npos)
            << notice.Label8.caption();
        EXPECT_FALSE(form8.Timer2.enabled());
        expectNothingChanged();
        EXPECT_EQ(installs, 0);
        notice.close();
        RegistryKey("cooldown").WriteText("");
    }
    // The notice names this product, and its link leads to the settings.
    EXPECT_EQ(notice.Label4.caption(),
              "- If you're using a firewall, make sure Tolvar AntiVirus is allowed");
    bool settingsOpened = false;
    notice.openSettings = [&] { settingsOpened = true; };
    notice.showCentred();
    Click(notice.Label7);
    EXPECT_TRUE(settingsOpened);
}

TEST_F(Updates, ATooManyRequestsAnswerKeepsTheNextRunAwayUntilItsRetryAfter) {
    TOLVAR_NEEDS_MIRROR(mirror);
    publish(test::Mirror::Database(7, 30000), test::Mirror::Database(8, 3000, 'd'));
    mirror.setMode("429 3600");
    run();
    ASSERT_TRUE(notice.visible());
    notice.close();
    const std::size_t asked = mirror.requests().size();

    // The mirror is fine again, but it asked for an hour.
    mirror.setMode("good");
    run();
    EXPECT_TRUE(notice.visible());
    EXPECT_NE(notice.Label8.caption().find("no update can start before"), std::string::npos)
        << notice.Label8.caption();
    EXPECT_EQ(mirror.requests().size(), asked) << "the mirror was asked again";
    expectNothingChanged();
}

TEST_F(Updates, CancelOrAltF4DuringASlowTransferCountsNothingAndLeavesNoFile) {
    TOLVAR_NEEDS_MIRROR(mirror);
    publish(test::Mirror::Database(7, 400000), test::Mirror::Database(8, 3000, 'd'));
    mirror.setMode("slow 50");
    for (const bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "Cancel");
        run([this] { return form8.Gauge1.progress() > 0; });
        // Close does nothing while the transfer runs.
        Click(form8.Image2);
        EXPECT_TRUE(form8.visible());
        if (altF4) {
            // Before, the window went and the run went on behind it.
            SendMessageA(form8.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            Click(form8.Image3);
        }
        EXPECT_FALSE(form8.visible());
        ASSERT_TRUE(test::PumpUntil([this] { return !form8.Downloading(); }, 20000));
        expectNothingChanged();
        EXPECT_FALSE(notice.visible());
    }
}

TEST_F(Updates, ThroughTheProxyWithItsLogin) {
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string main = test::Mirror::Database(9, 5000);
    publish(main, test::Mirror::Database(10, 500, 'd'));
    mirror.setMode("proxy-auth");
    const std::string address = mirror.address();
    RegistryKey("mirror").WriteText("mirror.invalid");
    Settings().SetUseProxy(true);
    Settings().SetProxyServer(address.substr(0, address.find(':')));
    Settings().SetProxyPort(address.substr(address.find(':') + 1));
    Settings().SetProxyUser("a");
    Settings().SetProxyPassword("b");
    run();
    EXPECT_EQ(Content(db("main.cvd")), main);
    ASSERT_FALSE(mirror.requests().empty());
    EXPECT_NE(mirror.requests().back().find("mirror.invalid"), std::string::npos);
    EXPECT_NE(mirror.requests().back().find("proxy-authorization=Basic YTpi"), std::string::npos);
}

// Guards against a run whose install the system refused being counted and
// declared installed: the waiting file was then deleted by the next scan's
// clean-up, and the counted update never reached the scanner.
TEST_F(Updates, ARefusedInstallCountsNothingUntilTheRetryPutsItIn) {
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string main = test::Mirror::Database(7, 3000);
    const std::string daily = test::Mirror::Database(8, 300, 'd');
    publish(main, daily);
    const std::string waiting =
        "The Updates have been downloaded and will be installed as soon as the databases in use "
        "are free.";
    {
        // The scanner holds the live file, as it may during a scan.
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run();
        EXPECT_EQ(Content(db("main.cvd")), kLive);
        EXPECT_TRUE(form8.Timer2.enabled());
        EXPECT_EQ(Content(db("main2.cvd")), main);
        EXPECT_EQ(form8.Label2.caption(), waiting);
        EXPECT_EQ(Settings().TotalUpdates(), 3);
        EXPECT_EQ(Settings().LastUpdateSize(), 777);
        EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100);
        Click(form8.Image2);
        EXPECT_FALSE(form8.visible());
    }
    ASSERT_TRUE(test::PumpUntil([this] { return !form8.Timer2.enabled(); }));
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(main.size() + daily.size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    EXPECT_EQ(form8.Label2.caption(),
              "The Updates have successfully been downloaded and installed.");

    // Refused again, and the scan's clean-up deletes the waiting file
    // meanwhile: the update never reaches the scanner and counts nothing.
    Settings().SetLastUpdateDate(TodaySerial() - 100);
    {
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run();
        EXPECT_EQ(form8.Label2.caption(), waiting);
        EXPECT_TRUE(fs::exists(db("main2.cvd")));
        RemoveStaleDownloads();
    }
    ASSERT_TRUE(test::PumpUntil([this] { return !form8.Timer2.enabled(); }));
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100);
    EXPECT_TRUE(notice.visible());
    EXPECT_NE(notice.Label8.caption().find("could not be put in place"), std::string::npos)
        << notice.Label8.caption();
    notice.close();
}

TEST_F(Updates, CheckNowDoesNothingDuringAScan) {
    ScanState = scan_state::kScanning;
    form.OpenDatabaseUpdates();
    EXPECT_TRUE(commands.given.empty());
    ScanState = scan_state::kIdle;
    form.OpenDatabaseUpdates();
    EXPECT_EQ(commands.given, std::vector<std::string>{"OpenDatabaseUpdates"});
}

// The whole program's scheduled check, from the main window's timer to the
// window that follows.
class ScheduledCheck : public testing::Test {
protected:
    ScheduledCheck() {
        // The program's start has read the stored record; the test's
        // schedule goes on top of it.
        saved_ = Settings();
        Settings().SetCheckSchedule(UpdateSchedule::Daily);
        Settings().SetFoundAction(FoundUpdateAction::AskToDownload);
        Settings().SetLastUpdateDate(TodaySerial());
    }
    ~ScheduledCheck() override {
        RegistryKey("cooldown").WriteText("");
        Settings() = saved_;
        SaveSettings();
        ScanState = scan_state::kIdle;
    }

    void tick() { program.mainForm().Timer2.onTimer(); }
    Timer& checkTimer() { return program.mainForm().Timer2; }

    // The visible top-level window of this caption, or null.
    static HWND Showing(const char* caption) {
        HWND window = FindWindowA(nullptr, caption);
        return window && IsWindowVisible(window) ? window : nullptr;
    }

    SettingsRecord saved_;
    TForm10 splash{false};
    Program program{splash};
};

TEST_F(ScheduledCheck, OffersAnUpdateOnlyWhenDueAndOnlyOnce) {
    Settings().SetCheckSchedule(UpdateSchedule::NeverCheck);
    tick();
    EXPECT_TRUE(checkTimer().enabled()) << "a later saved schedule still takes effect";

    Settings().SetCheckSchedule(UpdateSchedule::Weekly);
    Settings().SetLastUpdateDate(TodaySerial() - 6);
    ScanState = scan_state::kScanning;
    tick();
    EXPECT_TRUE(checkTimer().enabled()) << "waits while a scan runs";
    ScanState = scan_state::kIdle;
    tick();
    EXPECT_FALSE(checkTimer().enabled());
    EXPECT_EQ(Showing("Update Available"), nullptr);

    // Seven days: the prompt comes; declining ends the offer for this run.
    Settings().SetLastUpdateDate(TodaySerial() - 7);
    checkTimer().setEnabled(true);
    bool prompted = false;
    Later decline([&] {
        HWND prompt = Showing("Update Available");
        prompted = prompt != nullptr;
        if (prompt) test::ClickAt(prompt, 189 + 50, 186 + 15);  // "not now"
    });
    tick();
    EXPECT_TRUE(prompted);
    EXPECT_EQ(Showing("Update Available"), nullptr);
    EXPECT_FALSE(checkTimer().enabled());
}

TEST_F(ScheduledCheck, ADueUpdateWaitsWhileTheMirrorsCoolDownHolds) {
    // ClamAV's updater sits beside the program and no mirror of the user's
    // own is set: its cool-down is the one that counts.
    RegistryKey("mirror").WriteText("");
    StoreCoolDown(CoolDown{NowSerial() + 1.0 / 24, kUpdaterSource});
    Settings().SetLastUpdateDate(TodaySerial() - 1);
    checkTimer().setEnabled(true);
    tick();
    EXPECT_TRUE(checkTimer().enabled()) << "the check gave up instead of waiting";
    EXPECT_EQ(Showing("Update Available"), nullptr);

    // Once it is over, the offer comes.
    RegistryKey("cooldown").WriteText("");
    bool prompted = false;
    Later decline([&] {
        HWND prompt = Showing("Update Available");
        prompted = prompt != nullptr;
        if (prompt) test::ClickAt(prompt, 189 + 50, 186 + 15);
    });
    tick();
    EXPECT_TRUE(prompted);
    EXPECT_FALSE(checkTimer().enabled());
}

TEST_F(ScheduledCheck, AutomaticDownloadOpensTheWindowWithoutThePrompt) {
    Settings().SetFoundAction(FoundUpdateAction::DownloadAutomatically);
    Settings().SetLastUpdateDate(TodaySerial() - 1);
    checkTimer().setEnabled(true);
    bool downloading = false;
    Later cancel([&] {
        HWND download = Showing("Virus Database Update");
        downloading = download && !Showing("Update Available");
        // Cancelled before its two-second start delay is over.
        if (download) test::ClickAt(download, 189 + 50, 186 + 15);
    });
    tick();
    EXPECT_TRUE(downloading);
    EXPECT_EQ(Showing("Virus Database Update"), nullptr);
    EXPECT_FALSE(checkTimer().enabled());
}

}  // namespace
}  // namespace tolvar
