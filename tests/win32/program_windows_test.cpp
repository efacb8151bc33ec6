// The whole program's windows around a scan, driven through its buttons
// and, where it matters, the real mouse: the lit command image of the Scan
// page, the prompt that follows a scan, and the modal windows that open
// while the main window is in the tray or minimised.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/program_win.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "history/scan_dump.h"
#include "history/scan_history.h"
#include "quarantine_fixture.h"
#include "scan/scan_state.h"
#include "test_support.h"

namespace tolvar {
namespace {

using test::Later;

using test::SameBitmap;

namespace fs = std::filesystem;

using test::Click;
using test::Escaped;

// The visible top-level window of this caption, or null.
HWND Showing(const char* caption) {
    HWND window = FindWindowA(nullptr, caption);
    return window && IsWindowVisible(window) ? window : nullptr;
}

// The program as it runs: its main window up, the application's main form,
// scanning a folder of its own with the fake scanner.
class ProgramWindows : public testing::Test {
protected:
    explicit ProgramWindows(bool newWindowsVersion = false)
        : dir(fs::temp_directory_path() / "tolvar-program-windows"), splash(newWindowsVersion) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        savedSettings = Settings();
        program.mainForm().StopUpdateCheck();
        program.scan().fixedDrives = [this] {
            return std::vector<std::string>{dir.string() + "\\"};
        };
        app.setMainForm(&form);
        form.show();
    }
    ~ProgramWindows() override {
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", nullptr);
        program.scan().Abandon();
        app.setMainForm(nullptr);
        Settings() = savedSettings;
        SaveSettings();
        RegistryKey("cooldown").WriteText("");
        ScanState = scan_state::kIdle;
        fs::remove_all(dir);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // The fake scanner follows these lines.
    void script(const std::vector<std::string>& lines) {
        const std::string file = path("script.txt");
        std::ofstream out(file, std::ios::binary);
        for (const std::string& line : lines)
            out << line << "\n";
        out.close();
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", file.c_str());
    }

    bool waitIdle() {
        return test::PumpUntil([this] { return ScanIsIdle() && !program.scan().ScannerRunning(); },
                               15000);
    }

    // The command images that show lit, by slot: the Selected flags that
    // pick their pressed faces.
    std::vector<int> litCommandSlots() {
        std::vector<int> lit;
        for (int n : {slot::kStartScan, slot::kPauseScan, slot::kResumeScan, slot::kStopScan}) {
            if (skin.Slots().flags(n).Selected) lit.push_back(n);
        }
        return lit;
    }

    // An update due today, which the scheduled check offers (or downloads).
    void makeUpdateDue(FoundUpdateAction action) {
        Settings().SetCheckSchedule(UpdateSchedule::Daily);
        Settings().SetFoundAction(action);
        Settings().SetLastUpdateDate(TodaySerial() - 1);
        RegistryKey("cooldown").WriteText("");
    }

    fs::path dir;
    SettingsRecord savedSettings;
    Application& app = Application::instance();
    TForm10 splash;
    Program program{splash};
    TForm1& form = program.mainForm();
    Skin& skin = form.skin();
    // A scan starts its scanner only with a database to name.
    test::MainDatabase database;
};

// Guards against two records of the lit command image that disagreed:
// after Pause, Resume and the scan's own end "Resume" stayed lit, and the
// next Start lit a second image beside it.
TEST_F(ProgramWindows, ExactlyOneCommandImageIsLitThroughPauseResumeAndTheScansOwnEnd) {
    using Slots = std::vector<int>;
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStopScan}) << "before any scan";

    script({"out " + Escaped(path("a.txt")) + ": OK\\n", "wait-file " + path("go"),
            "out " + Escaped(path("b.txt")) + ": OK\\n", "exit 0"});
    Click(form.Image12);  // the footer's scan of all drives
    ASSERT_TRUE(test::PumpUntil([this] { return program.scan().Parser().ItemsScanned() == 1; }));
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStartScan});
    Click(form.Image17);
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(litCommandSlots(), Slots{slot::kPauseScan});
    Click(form.Image18);
    EXPECT_EQ(ScanState, "scanning");
    EXPECT_EQ(litCommandSlots(), Slots{slot::kResumeScan});

    // The scan ends by itself.
    std::ofstream(path("go")) << "";
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStopScan});
    EXPECT_FALSE(SameBitmap(form.Image18.picture(), skin.Faces(slot::kResumeScan).Face2))
        << "Resume still shows its pressed face";
    EXPECT_TRUE(SameBitmap(form.Image19.picture(), skin.Faces(slot::kStopScan).Face2));

    // The next Start lights Start alone, and its end Stop alone.
    script({"wait-file " + path("go2"), "exit 0"});
    Click(form.Image16);
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStartScan});
    std::ofstream(path("go2")) << "";
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStopScan});

    // A scan stopped for a removal (not by the Stop button) ends the same.
    script({"hang"});
    Click(form.Image16);
    ASSERT_TRUE(test::PumpUntil([this] { return program.scan().ScannerRunning(); }));
    program.scan().StopScan();
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStopScan});
    // So does a scan that could not be done at all.
    program.scan().fixedDrives = [] { return std::vector<std::string>{}; };
    Click(form.Image16);
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(litCommandSlots(), Slots{slot::kStopScan});
    if (HWND failed = Showing("Scan Failed")) SendMessageA(failed, WM_CLOSE, 0, 0);
}

// Guards against the infections-found prompt outliving its scan: pressed
// during a later scan it stopped that scan, came back for what the later
// scan had found so far and removed it, files nobody was asked about,
// while the first scan's files were never offered again.
TEST_F(ProgramWindows, ANewScanClosesThePromptOfTheScanBefore) {
    const std::string first = path("first.exe");
    const std::string second = path("second.exe");
    std::ofstream(first, std::ios::binary) << "infected";
    std::ofstream(second, std::ios::binary) << "infected";
    script({"out " + Escaped(first) + ": Worm.First FOUND\\n", "exit 1"});
    Click(form.Image12);
    ASSERT_TRUE(test::PumpUntil([] { return Showing("Infections Found") != nullptr; }, 15000));

    // The next scan finds the other file and then waits.
    script(
        {"out " + Escaped(second) + ": Worm.Second FOUND\\n", "wait-file " + path("go"), "exit 1"});
    Click(form.Image16);
    EXPECT_EQ(Showing("Infections Found"), nullptr) << "the first scan's prompt is still up";
    ASSERT_TRUE(test::PumpUntil([this] { return program.scan().Parser().InfectionCount() == 1; }));
    test::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(ScanState, "scanning");
    EXPECT_EQ(Showing("Infections Found"), nullptr);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));

    // Its own end brings its own prompt, offering what it found; the Remove
    // command and the last scan's dump hold the same.
    std::ofstream(path("go")) << "";
    ASSERT_TRUE(waitIdle());
    HWND prompt = nullptr;
    ASSERT_TRUE(test::PumpUntil([&] { return (prompt = Showing("Infections Found")) != nullptr; }));
    EXPECT_EQ(program.scan().Parser().InfectionCount(), 1);
    EXPECT_EQ(program.scan().Parser().Table()[0].FilePath, second);
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
    InfectionTable dumped{};
    const std::string dump = test::Content(Folders().DataFolder + "db\\list.gav");
    LoadInfectionTable(dumped, reinterpret_cast<const std::uint8_t*>(dump.data()), dump.size());
    EXPECT_EQ(dumped[0].FilePath, second);
    SendMessageA(prompt, WM_CLOSE, 0, 0);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
}

// While a modal window is up: the main window is disabled, and the real
// mouse's clicks on Start Scan and on the Full Scan button start nothing
// (the scanner would record its start in `started`).
void ExpectMainWindowHeldBack(TForm1& form, const std::string& started) {
    EXPECT_TRUE(IsWindowVisible(form.handle())) << "the main window did not come back";
    EXPECT_FALSE(IsWindowEnabled(form.handle())) << "the main window takes input";
    for (Image* start : {&form.Image16, &form.Image12}) {
        test::ClickMouseAt(test::MiddleOnScreen(*start));
        test::PumpUntil([] { return false; }, 500);
        EXPECT_EQ(ScanState, "idle");
        EXPECT_FALSE(fs::exists(started)) << "a scan started under the modal window";
    }
}

// Guards against a modal window opened while the main window was away
// leaving it enabled once it came back: a scan could run while the
// databases were being replaced. Here the scheduled check offers an update
// while the program sits in the tray.
TEST_F(ProgramWindows, AModalWindowOpenedWhileInTheTrayHoldsTheMainWindowBackWhenItReturns) {
    script({"record " + path("started.txt"), "exit 0"});
    form.ShowScanProgress();  // the Scan page with its Start button, as a scan left it
    form.MinimizeToTray();
    ASSERT_FALSE(IsWindowVisible(form.handle()));
    makeUpdateDue(FoundUpdateAction::AskToDownload);

    bool prompted = false;
    Later act([&] {
        HWND prompt = Showing("Update Available");
        prompted = prompt != nullptr;
        if (!prompt) return;
        // Out of the way of the main window's buttons.
        SetWindowPos(prompt, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(form.handle(), TrayCallbackMessage, 0, WM_LBUTTONDOWN);
        ExpectMainWindowHeldBack(form, path("started.txt"));
        test::ClickAt(prompt, 189 + 50, 186 + 15);  // "not now"
    });
    form.Timer2.onTimer();
    ASSERT_TRUE(prompted);
    EXPECT_FALSE(fs::exists(path("started.txt")));

    // Once the prompt is gone the same click starts a scan: the one above
    // would have reached the button, had the window taken it.
    EXPECT_TRUE(IsWindowEnabled(form.handle()));
    test::ClickMouseAt(test::MiddleOnScreen(form.Image16));
    EXPECT_TRUE(test::PumpUntil([this] { return fs::exists(path("started.txt")); }, 10000))
        << "the real click does not reach the button at all";
    waitIdle();
    if (HWND done = Showing("Scan Complete")) SendMessageA(done, WM_CLOSE, 0, 0);
}

class NewWindowsProgram : public ProgramWindows {
protected:
    NewWindowsProgram() : ProgramWindows(true) {}
};

// The same, with the main window minimised (on newer Windows versions the
// splash's button stands for it on the taskbar, and the main window is
// hidden): the scheduled check downloads an update at once.
TEST_F(NewWindowsProgram, AModalWindowOpenedWhileMinimisedHoldsTheMainWindowBackWhenItReturns) {
    script({"record " + path("started.txt"), "exit 0"});
    form.ShowScanProgress();
    Click(form.Image9);  // Minimize
    ASSERT_FALSE(IsWindowVisible(form.handle()));
    ASSERT_TRUE(IsIconic(splash.handle()));
    makeUpdateDue(FoundUpdateAction::DownloadAutomatically);

    bool downloading = false;
    Later act([&] {
        HWND download = Showing("Virus Database Update");
        downloading = download != nullptr;
        if (!download) return;
        SetWindowPos(download, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        // Restored from the taskbar.
        SendMessageA(splash.handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
        ExpectMainWindowHeldBack(form, path("started.txt"));
        // Cancelled before its start delay is over.
        test::ClickAt(download, 189 + 50, 186 + 15);
    });
    form.Timer2.onTimer();
    ASSERT_TRUE(downloading);
    EXPECT_FALSE(fs::exists(path("started.txt")));
    EXPECT_TRUE(IsWindowEnabled(form.handle()));
}

}  // namespace
}  // namespace tolvar
