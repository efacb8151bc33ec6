// Scans asked for from outside the program: the request pipe as another
// process of the user reaches it, TolvarScan.exe (Explorer's menu) handing
// over, requests joined into one scan, and the word from the tray at a
// scan's end.

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/program_win.h"
#include "core/folder_protection_win.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "core/wide_text_win.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "history/scan_statistics.h"
#include "notify_log.h"
#include "protection/realtime_setting_win.h"
#include "protection/scan_request_client_win.h"
#include "protection/scan_request_pipe_win.h"
#include "protection/scan_schedule_store_win.h"
#include "quarantine_fixture.h"
#include "scan/excluded_folders.h"
#include "scan/scan_state.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::NotifyLog;

// A folder of the test's own, with a name beyond ASCII and a blank.
struct RequestFolder {
    fs::path dir = fs::temp_directory_path() / Utf8ToWide("tolvar-requests Bücher €");
    RequestFolder() {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~RequestFolder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    // The file's UTF-8 path, made with some content.
    std::string file(const std::string& utf8Name) const {
        const fs::path path = dir / Utf8ToWide(utf8Name);
        std::ofstream(path) << "content";
        return WideToUtf8(path.wstring());
    }
    std::string folder() const { return WideToUtf8(dir.wstring()) + "\\"; }
};

// TolvarScan.exe as the tests have it: beside the test program, where no
// AntiVirus.exe is, so a helper that tried to start the program would fail
// and tell it in a message box instead of ending.
std::wstring HelperPath() {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"TolvarScan.exe";
}

UniqueHandle StartHelper(const std::vector<std::string>& arguments,
                         const std::wstring& helper = HelperPath()) {
    std::wstring command = L"\"" + helper + L"\" /scan";
    for (const std::string& argument : arguments)
        command += L" \"" + Utf8ToWide(argument) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return UniqueHandle();
    }
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

// The helper's exit code once it has ended, pumping meanwhile; STILL_ACTIVE
// when it did not end in time (it is ended then).
DWORD HelperExit(HANDLE process, DWORD timeoutMs = 30000) {
    test::PumpUntil([process] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; },
                    timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    if (code == STILL_ACTIVE) TerminateProcess(process, 99);
    return code;
}

bool Showing(const char* caption) {
    HWND window = FindWindowA(nullptr, caption);
    return window && IsWindowVisible(window);
}

void CloseIfShowing(const char* caption) {
    if (HWND window = FindWindowA(nullptr, caption)) SendMessageA(window, WM_CLOSE, 0, 0);
}

// Guards against a request path reaching the scan as a device, as a path
// read against the program's own folder, or with its letters changed on the
// way; and against a refused path told to no one.
TEST(ScanRequestPipeTest, TakesExistingFullPathsIntactAndRefusesTheRest) {
    RequestFolder folder;
    const std::string file = folder.file("Ölgemälde ✓ файл.exe");
    ScanRequestPipe pipe;
    const std::vector<std::string> sent{file,
                                        folder.folder(),
                                        "C:\\temp\\NUL",
                                        "a.exe",
                                        "..\\..\\x.exe",
                                        "\\\\.\\PhysicalDrive0",
                                        folder.folder() + "missing.exe"};
    const HandOver handOver = HandScanRequestOver(sent);
    ASSERT_EQ(handOver.outcome, HandOver::Outcome::Delivered) << handOver.why;
    EXPECT_EQ(handOver.reply.taken, 2u);
    ASSERT_EQ(handOver.reply.refused.size(), 5u);
    EXPECT_EQ(handOver.reply.refused[0].refusal, "the path names a device");
    EXPECT_EQ(handOver.reply.refused[1].refusal, "the path is not a full path");
    EXPECT_EQ(handOver.reply.refused[2].refusal, "the path is not a full path");
    EXPECT_EQ(handOver.reply.refused[3].refusal, "the path names a device");
    EXPECT_EQ(handOver.reply.refused[4].refusal, "the file or folder is not there");

    const std::vector<ScanRequestPipe::Arrival> arrivals = pipe.Take();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].targets, (std::vector<std::string>{file, folder.folder()}));
    EXPECT_EQ(arrivals[0].refused.size(), 5u);

    // A message that is no request is answered so, and brings nothing.
    WaitNamedPipeW(Utf8ToWide(kScanRequestPipe).c_str(), 5000);
    UniqueHandle raw(CreateFileW(Utf8ToWide(kScanRequestPipe).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(raw);
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(raw.get(), &mode, nullptr, nullptr);
    const std::string junk = file + "\n";
    DWORD bytes = 0;
    ASSERT_TRUE(
        WriteFile(raw.get(), junk.data(), static_cast<DWORD>(junk.size()), &bytes, nullptr));
    char reply[256] = "";
    ASSERT_TRUE(ReadFile(raw.get(), reply, sizeof reply - 1, &bytes, nullptr));
    EXPECT_EQ(std::string(reply, bytes), "Taken 0\n\tthe message is no scan request\n");
    raw.reset();
    EXPECT_TRUE(pipe.Take().empty());
}

// Guards against a pipe that another user, or a program that made the name
// first, could serve or write to: the access list names the user alone,
// and a second server of the name is refused.
TEST(ScanRequestPipeTest, AdmitsOnlyTheUserAndOneServer) {
    ScanRequestPipe pipe;
    EXPECT_THROW(ScanRequestPipe second, AppError);

    UniqueHandle client(CreateFileW(Utf8ToWide(kScanRequestPipe).c_str(), READ_CONTROL, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(client) << GetLastError();
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_EQ(GetSecurityInfo(client.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &list, nullptr, &raw),
              static_cast<DWORD>(ERROR_SUCCESS));
    const LocalMemory descriptor(raw);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->AceCount, 1);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(list, 0, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    LPSTR sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(&allowed->SidStart, &sid));
    const LocalMemory sidText(sid);
    EXPECT_EQ(std::string(sid), CurrentUserSid());
}

// Guards against a helper that starts a second AntiVirus.exe (and with it a
// consent prompt) while the program runs, and against a path whose
// letters do not survive the helper's command line and the pipe.
TEST(ScanHelperTest, HandsItsPathsToTheRunningProgramAndEnds) {
    RequestFolder folder;
    const std::string file = folder.file("Zeichnung ä € 日本.exe");
    ScanRequestPipe pipe;
    const UniqueHandle helper = StartHelper({file, folder.folder()});
    ASSERT_TRUE(helper);
    EXPECT_EQ(HelperExit(helper.get()), 0u);
    const std::vector<ScanRequestPipe::Arrival> arrivals = pipe.Take();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].targets, (std::vector<std::string>{file, folder.folder()}));
}

// Guards against one consent prompt (and one program start) per selected
// item when the program does not run: fifteen helpers at once start it
// once and hand the rest of their paths to it.
TEST(ScanHelperTest, ManyHelpersStartTheProgramOnceWhenItDoesNotRun) {
    RequestFolder folder;
    const fs::path installed = fs::temp_directory_path() / "tolvar-helper-start";
    fs::remove_all(installed);
    fs::create_directories(installed);
    const fs::path tests = fs::path(HelperPath()).parent_path();
    fs::copy_file(HelperPath(), installed / "TolvarScan.exe");
    fs::copy_file(tests / "program_stand_in.exe", installed / "AntiVirus.exe");

    std::vector<std::string> files;
    std::vector<UniqueHandle> helpers;
    for (int i = 0; i < 15; ++i) {
        files.push_back(folder.file("pick-" + std::to_string(i) + ".exe"));
        helpers.push_back(StartHelper({files.back()}, (installed / "TolvarScan.exe").wstring()));
    }
    for (UniqueHandle& helper : helpers) {
        ASSERT_TRUE(helper);
        EXPECT_EQ(HelperExit(helper.get()), 0u);
    }
    // The stand-in ends five seconds after the last request.
    test::PumpUntil([] { return false; }, 500);
    const std::string started = test::Content((installed / "started.txt").string());
    EXPECT_EQ(std::count(started.begin(), started.end(), '\n'), 1) << started;
    std::vector<std::string> got;
    for (const std::string& list :
         {started, test::Content((installed / "requests.txt").string())}) {
        std::size_t at = 0;
        while (at < list.size()) {
            const std::size_t end = list.find_first_of("|\n", at);
            if (end > at) got.push_back(list.substr(at, end - at));
            at = end + 1;
        }
    }
    std::sort(got.begin(), got.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(got, files);
    test::PumpUntil(
        [&installed] {
            std::error_code busy;
            fs::remove_all(installed, busy);
            return !busy;
        },
        10000);
}

// The whole program with its request pipe, scanning with the fake scanner.
class ScanRequests : public testing::Test {
protected:
    ScanRequests() {
        fs::remove_all(work);
        fs::create_directories(work);
        savedSettings = Settings();
        StoreRealtimeWanted(false);
        StoreExcludedFolders({});
        program.mainForm().StopUpdateCheck();
        log.watch(form.tray());
        app.setMainForm(&form);
        form.show();
        program.TakeScanRequests(&pipe, {}, "");
    }
    ~ScanRequests() override {
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", nullptr);
        program.scan().Abandon();
        app.setMainForm(nullptr);
        Settings() = savedSettings;
        SaveSettings();
        StoreExcludedFolders({});
        ScanState = scan_state::kIdle;
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }

    void script(const std::vector<std::string>& lines) {
        const std::string file = workFile("script.txt");
        std::ofstream out(file, std::ios::binary);
        for (const std::string& line : lines)
            out << line << "\n";
        out.close();
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", file.c_str());
    }
    // The scanner's script and what it writes, in a folder of plain ASCII
    // (the fake scanner reads its paths in the ANSI code page).
    std::string workFile(const char* name) const { return (work / name).string(); }

    bool scanRunsThenEnds(DWORD timeoutMs = 20000) {
        return test::PumpUntil([] { return !ScanIsIdle(); }, timeoutMs) &&
               test::PumpUntil([this] { return ScanIsIdle() && !program.scan().ScannerRunning(); },
                               timeoutMs);
    }
    // What the scanner was given to scan: its arguments after the database
    // one, or its file list.
    std::vector<std::string> scannedTargets() const {
        std::vector<std::string> targets;
        std::ifstream list(workFile("list.txt"), std::ios::binary);
        for (std::string line; std::getline(list, line);)
            if (!line.empty()) targets.push_back(line);
        return targets;
    }

    RequestFolder folder;
    fs::path work = fs::temp_directory_path() / "tolvar-requests-work";
    SettingsRecord savedSettings;
    Application& app = Application::instance();
    // Before the program, whose icon calls it as it goes.
    NotifyLog log;
    TForm10 splash;
    Program program{splash};
    TForm1& form = program.mainForm();
    ScanRequestPipe pipe;
    test::MainDatabase database;
};

// Guards against one scan per selected item (Explorer starts a helper for
// each, all at once), and a scan begun before the last of them arrived.
TEST_F(ScanRequests, FifteenHelpersAtOnceGiveOneScanOfAllTheirPaths) {
    // Names beyond ASCII: the scanner is given its targets in a file list.
    std::vector<std::string> files;
    for (int i = 0; i < 15; ++i)
        files.push_back(folder.file("auswahl-" + std::to_string(i) + "-ü.exe"));
    script({"list " + workFile("list.txt"), "exit 0"});
    const std::int32_t scansBefore = Statistics().ScanCount();

    std::vector<UniqueHandle> helpers;
    for (const std::string& file : files)
        helpers.push_back(StartHelper({file}));
    for (UniqueHandle& helper : helpers) {
        ASSERT_TRUE(helper);
        EXPECT_EQ(HelperExit(helper.get()), 0u);
    }
    ASSERT_TRUE(scanRunsThenEnds());
    // No second scan follows.
    test::PumpUntil([] { return false; }, 2 * RequestJoiner::kQuietMs);
    EXPECT_TRUE(ScanIsIdle());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    std::vector<std::string> scanned = scannedTargets();
    std::sort(scanned.begin(), scanned.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(scanned, files);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    CloseIfShowing("Scan Complete");
}

// Guards against a request that cuts into a running scan (two scanners at
// once, or the first stopped) or is dropped, and against a wait nobody is
// told of.
TEST_F(ScanRequests, ARequestDuringAScanWaitsForItsEndAndTheStatusLineSaysSo) {
    const std::string first = folder.file("first.txt");
    const std::string second = folder.file("second.txt");
    script({"out " + test::Escaped(first) + ": OK\\n", "wait-file " + workFile("go"),
            "list " + workFile("list.txt"), "exit 0"});
    program.scan().StartChosenScan({folder.folder()});
    ASSERT_TRUE(test::PumpUntil([this] { return program.scan().Parser().ItemsScanned() == 1; }));

    const HandOver handOver = HandScanRequestOver({second});
    ASSERT_EQ(handOver.outcome, HandOver::Outcome::Delivered);
    ASSERT_TRUE(test::PumpUntil([this] {
        return form.Label10.caption().find("a scan request waits for this scan to end") !=
               std::string::npos;
    })) << form.Label10.caption();
    EXPECT_TRUE(program.scanRequests().Waiting());

    std::ofstream(workFile("go")) << "";
    // The first scan ends, and the request's own follows.
    ASSERT_TRUE(test::PumpUntil([this] { return !program.scanRequests().Waiting(); }, 20000));
    ASSERT_TRUE(test::PumpUntil([this] { return ScanIsIdle() && !program.scan().ScannerRunning(); },
                                20000));
    EXPECT_EQ(scannedTargets(), std::vector<std::string>{second});
    EXPECT_EQ(form.Label10.caption().find("waits"), std::string::npos);
    CloseIfShowing("Scan Complete");
}

// Guards against a file named in a request scanned although the user
// excluded its folder (clamscan leaves out excluded folders, never a file
// it is given), and a request refused without a word.
TEST_F(ScanRequests, AFileInAnExcludedFolderIsNotScannedAndTheStatusLineSaysWhy) {
    const std::string file = folder.file("kept.exe");
    StoreExcludedFolders({folder.dir.string()});
    script({"touch " + workFile("scanned"), "exit 0"});
    ASSERT_EQ(HandScanRequestOver({file}).outcome, HandOver::Outcome::Delivered);
    ASSERT_TRUE(test::PumpUntil([this] {
        return form.Label10.caption().find("excluded from scans") != std::string::npos;
    })) << form.Label10.caption();
    test::PumpUntil([] { return false; }, 2 * RequestJoiner::kQuietMs);
    EXPECT_TRUE(ScanIsIdle());
    EXPECT_FALSE(fs::exists(workFile("scanned")));
}

// Guards against the end of a scan told to no one while the window is in
// the tray, a result window popping up over the user's work instead, and
// infections removed without the user: the prompt waits for the click.
TEST_F(ScanRequests, AScanEndingInTheTrayIsToldByABalloonAndTheResultWaitsForTheWindow) {
    const std::string clean = folder.file("clean.txt");
    form.StartInTray();
    ASSERT_TRUE(form.hiddenInTray());
    script({"out " + test::Escaped(clean) + ": OK\\n", "exit 0"});
    program.scan().StartChosenScan({folder.folder()});
    ASSERT_TRUE(scanRunsThenEnds());
    std::vector<NotifyLog::Call> balloons = log.balloons();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_STREQ(balloons[0].record.szInfo, "Scan complete: no infections found");
    EXPECT_FALSE(Showing("Scan Complete"));

    // Infections: the balloon counts them; nothing is removed meanwhile.
    const std::string bad = folder.file("bad.exe");
    script({"out " + test::Escaped(bad) + ": Win.Test.One FOUND\\n", "exit 1"});
    program.scan().StartChosenScan({folder.folder()});
    ASSERT_TRUE(scanRunsThenEnds());
    balloons = log.balloons();
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_STREQ(balloons[1].record.szInfo, "Scan complete: 1 infection(s) found");
    EXPECT_EQ(balloons[1].record.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    test::PumpUntil([] { return false; }, 500);
    EXPECT_TRUE(fs::exists(fs::path(Utf8ToWide(bad))));

    // A click on the balloon brings the window, and the offer with it.
    SendMessageA(form.handle(), TrayCallbackMessage, 0, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    ASSERT_TRUE(test::PumpUntil([] { return Showing("Infections Found"); }));
    CloseIfShowing("Infections Found");
    EXPECT_TRUE(fs::exists(fs::path(Utf8ToWide(bad))));
}

// The schedule as the Protection window stores it: daily at 14:00, of the
// folders last chosen, stored that morning; the program's looks on a clock
// set to its time and on mains power.
class ScheduledProgram : public ScanRequests {
protected:
    ScheduledProgram() {
        ForgetSchedule();
        ScanSchedule schedule;
        schedule.frequency = ScheduleFrequency::Daily;
        schedule.minuteOfDay = 14 * 60;
        schedule.targets = ScheduleTargets::ChosenFolders;
        schedule.storedAt = LocalMoment{2026, 12, 9, 8, 0};
        StoreScanSchedule(schedule);
        StoreLastChosenFolders({folder.folder()});
        program.schedule().now = [this] { return clock; };
        program.schedule().power = [] { return PowerReading{}; };
        program.schedule().Apply();
    }
    ~ScheduledProgram() override { ForgetSchedule(); }
    static void ForgetSchedule() {
        const std::string path = std::string(kRegistryKey) + kScheduleSubkey;
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
    }
    LocalMoment clock{2026, 12, 9, 14, 0};
};

// Guards against a scheduled scan whose infections are removed, or offered
// over the user's work, while nobody looks, and whose end the schedule
// never hears of (it would show "running" and never run again).
TEST_F(ScheduledProgram, ARunInTheTrayIsToldByABalloonAndItsOutcomeKept) {
    const std::string bad = folder.file("bad.exe");
    form.StartInTray();
    script({"out " + test::Escaped(bad) + ": Win.Test.One FOUND\\n", "exit 1"});
    program.schedule().Tick();
    ASSERT_TRUE(scanRunsThenEnds());
    const std::vector<NotifyLog::Call> balloons = log.balloons();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_STREQ(balloons[0].record.szInfo, "Scan complete: 1 infection(s) found");
    EXPECT_FALSE(Showing("Infections Found"));
    EXPECT_TRUE(fs::exists(fs::path(Utf8ToWide(bad))));
    EXPECT_FALSE(program.schedule().RunInProgress());
    const LastScheduledRun last = LoadLastScheduledRun();
    ASSERT_TRUE(last.time);
    EXPECT_EQ(MomentText(*last.time), "2026-12-09 14:00");
    EXPECT_EQ(last.outcome, "1 infection(s) found");
}

// Guards against a scheduled run that cuts into the user's scan, and one
// that is lost because the program was busy at its time.
TEST_F(ScheduledProgram, ARunDueDuringTheUsersScanWaitsForItsEnd) {
    script({"wait-file " + workFile("go"), "exit 0"});
    program.scan().StartChosenScan({folder.folder()});
    ASSERT_TRUE(test::PumpUntil([this] { return program.scan().ScannerRunning(); }));
    program.schedule().Tick();
    EXPECT_FALSE(program.schedule().RunInProgress());
    std::ofstream(workFile("go")) << "";
    ASSERT_TRUE(test::PumpUntil([this] { return ScanIsIdle() && !program.scan().ScannerRunning(); },
                                20000));
    CloseIfShowing("Scan Complete");
    script({"exit 0"});
    clock.minute = 1;
    program.schedule().Tick();
    EXPECT_TRUE(program.schedule().RunInProgress() || !ScanIsIdle() ||
                LoadLastScheduledRun().outcome == "No infections found");
    ASSERT_TRUE(test::PumpUntil(
        [] { return LoadLastScheduledRun().outcome == "No infections found"; }, 20000))
        << LoadLastScheduledRun().outcome;
    CloseIfShowing("Scan Complete");
}

// Guards against a scheduled scan that fails before it begins (no
// database) leaving the schedule waiting for an end that was already told.
TEST_F(ScheduledProgram, ARunThatCannotBeginIsRecordedAsFailed) {
    const std::string database = Folders().DatabaseFolder + "main.cvd";
    const std::string kept = database + ".kept";
    ASSERT_TRUE(MoveFileExA(database.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING));
    program.schedule().Tick();
    const bool told = test::PumpUntil([this] { return !program.schedule().RunInProgress(); });
    MoveFileExA(kept.c_str(), database.c_str(), MOVEFILE_REPLACE_EXISTING);
    CloseIfShowing("Scan Failed");
    ASSERT_TRUE(told);
    EXPECT_EQ(LoadLastScheduledRun().outcome.rfind("Failed: ", 0), 0u)
        << LoadLastScheduledRun().outcome;
}

}  // namespace
}  // namespace tolvar
