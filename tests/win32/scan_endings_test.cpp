// Every way a scan can end, with the fake scanner as clamscan.exe: only exit
// codes 0 and 1 are a scan that was done; a crash, a missing DLL, a missing
// scanner, no drive to scan, no database to scan with, a page that fails while the end is shown and
// a record that cannot be stored each end the scan truthfully, never leave it "scanning", and never
// freeze the program.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <windows.h>

#include "core/folders.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan/scanner_exit.h"
#include "scan_fixture.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Scans;

// A failed scan shows how far it came and how it ended, never "100%" or a
// full bar, and leaves no command image lit.
void ExpectFailedLook(const test::RecordingScanView& view) {
    EXPECT_EQ(view.status.back(), "Scanning Failed");
    EXPECT_NE(view.percent.back(), "100%");
    EXPECT_NE(view.bar.back(), 100);
    EXPECT_EQ(view.lit(), ScanCommand::Stop);
    EXPECT_FALSE(view.refreshing());
}

TEST_F(Scans, AMissingDllBeforeAnyLineIsAFailedScanThatSaysWhereTheDllsBelong) {
    script({"exit 0xC0000135"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ExpectFailedLook(view);
    EXPECT_EQ(
        outcomes.failures,
        std::vector<std::string>{"The scanner could not start: one of its DLLs is missing from " +
                                 ScannerFolder()});
    EXPECT_EQ(outcomes.windowsShown(), 1);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);  // no clean scan of today
}

TEST_F(Scans, ACrashAfterSomeLinesIsAFailedScanWhateverItReportedBefore) {
    script({"out C:\\\\t\\\\a\\\\1.txt: OK\\nC:\\\\t\\\\b\\\\2.txt: OK\\n", "exit -1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ExpectFailedLook(view);
    EXPECT_EQ(scan.Parser().ItemsScanned(), 2);
    EXPECT_EQ(view.items.back(), 2);
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("0xFFFFFFFF"), std::string::npos) << outcomes.failures[0];
    EXPECT_EQ(outcomes.noInfections, 0);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
}

// A whole-drive scan on Windows always meets files in use (the page file,
// the registry hives), and clamscan then ends with 2: the scan is done, and
// says what it could not read.
TEST_F(Scans, ExitCodeTwoAfterRealWorkIsAFinishedScanThatSaysItMissedItems) {
    script({"out C:\\\\t\\\\a.txt: OK\\n",
            "err C:\\\\pagefile.sys: Can't open file or directory ERROR\\n", "exit 2"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(view.status.back(), "Scanning Complete (some items could not be read)");
    EXPECT_EQ(view.percent.back(), "100%");
    EXPECT_TRUE(outcomes.failures.empty());
    EXPECT_EQ(outcomes.noInfections, 1);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
}

TEST_F(Scans, ExitCodeTwoWithNothingScannedIsAFailedScan) {
    script({"err ERROR: one file could not be read\\n", "exit 2"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ExpectFailedLook(view);
    EXPECT_EQ(outcomes.failures, std::vector<std::string>{
                                     "The scanner reported an error: one file could not be read"});
    EXPECT_EQ(outcomes.noInfections, 0);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
}

// What a failed scan found stays listed and recorded, so it can be removed
// now or after a restart.
TEST_F(Scans, DetectionsBeforeACrashStayListedAndAreRecorded) {
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "exit 0xC0000005"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ExpectFailedLook(view);
    EXPECT_EQ(view.rows.size(), 1u);
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("crashed"), std::string::npos);
    EXPECT_NE(outcomes.failures[0].find("1 infection(s)"), std::string::npos);
    EXPECT_TRUE(outcomes.infectionsFound.empty());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
}

TEST_F(Scans, AMissingScannerSaysWhereItMustBePut) {
    const std::string realFolder = Folders().ProgramFolder;
    Folders().ProgramFolder = path("target") + "\\";  // no scanner there
    scan.StartOrResumeScan();
    const std::string expectedFolder = ScannerFolder();
    Folders().ProgramFolder = realFolder;
    ASSERT_TRUE(waitIdle());
    ExpectFailedLook(view);
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("clamscan.exe was not found"), std::string::npos);
    EXPECT_NE(outcomes.failures[0].find(expectedFolder), std::string::npos) << outcomes.failures[0];
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
}

// Without a folder clamscan scans its working folder, which read as a clean
// scan of all drives.
TEST_F(Scans, WithNoFixedDriveNoScannerIsStartedAndTheUserIsTold) {
    scan.fixedDrives = [] { return std::vector<std::string>{}; };
    script({"record " + path("started.txt"), "exit 0"});
    scan.StartOrResumeScan();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_FALSE(scan.ScannerRunning());
    test::PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(fs::exists(path("started.txt")));
    ExpectFailedLook(view);
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("no fixed drive"), std::string::npos);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
}

// Guards against a scan without a database naming a missing main.cvd: the
// scanner then ended with an error that told the user nothing to do.
TEST_F(Scans, WithNoDatabaseNoScannerIsStartedAndTheUserIsToldWhatToDo) {
    const std::string& folder = Folders().DatabaseFolder;
    const auto clear = [&] {
        for (const char* name :
             {"main.cvd", "main.cld", "daily.cvd", "daily.cld", "bytecode.cvd", "bytecode.cld"}) {
            std::error_code ignored;
            fs::remove(folder + name, ignored);
        }
    };
    clear();
    script({"record " + path("started.txt"), "exit 0"});
    // The folder as a new install leaves it; then holding only what ClamAV
    // would refuse, which is no database either: the database freshclam
    // patched saved as daily.cvd (a .cvd must carry its MD5 and signature).
    const std::string patched = test::FreshclamPatchedDatabase();
    ASSERT_FALSE(patched.empty()) << "test.cld is missing; the build scripts make it";
    for (const char* unusable : {"", "daily.cvd"}) {
        SCOPED_TRACE(*unusable ? unusable : "an empty folder");
        if (*unusable) std::ofstream(folder + unusable, std::ios::binary) << patched;
        outcomes.failures.clear();
        scan.StartOrResumeScan();
        EXPECT_EQ(ScanState, "idle");
        EXPECT_FALSE(scan.ScannerRunning());
        test::PumpUntil([] { return false; }, 300);
        EXPECT_FALSE(fs::exists(path("started.txt")));
        ExpectFailedLook(view);
        EXPECT_EQ(outcomes.failures, std::vector<std::string>{NoDatabaseReason(folder)});
        EXPECT_EQ(outcomes.windowsShown(), 1);
        EXPECT_EQ(Statistics().ScanCount(), scansBefore);
    }
    clear();
    EXPECT_NE(NoDatabaseReason(folder).find("No virus database was found in " + folder),
              std::string::npos);
}

TEST_F(Scans, ALastLineWithoutTerminatorIsParsedWhenTheScannerEnds) {
    script({"out C:\\\\t\\\\a.txt: OK\\nC:\\\\t\\\\last.exe: Late FOUND", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(scan.Parser().ItemsScanned(), 1);
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, "C:\\t\\last.exe");
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
}

// Stop, then Start: the Stop image stayed lit beside Start.
TEST_F(Scans, NeverTwoCommandImagesLit) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "hang"});
    scan.StartOrResumeScan();
    EXPECT_EQ(view.lit(), ScanCommand::Start);
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 1; }));
    scan.PauseScan();
    EXPECT_EQ(view.lit(), ScanCommand::Pause);
    scan.ResumeScan();
    scan.StopCommand();
    EXPECT_EQ(view.lit(), ScanCommand::Stop);

    script({"exit 0"});
    scan.StartOrResumeScan();
    EXPECT_EQ(view.lit(), ScanCommand::Start);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(view.lit(), ScanCommand::Stop);
}

// The end of a scan that throws (here the page, once) must still end it.
TEST_F(Scans, AnErrorWhileTheEndIsShownEndsTheScanAsFailedNotScanningForever) {
    view.failOnPercent = "100%";
    script({"out C:\\\\t\\\\a.txt: OK\\n", "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(view.status.back(), "Scanning Failed");
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("could not show 100%"), std::string::npos);

    // The program goes on: the next scan runs and ends as usual.
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(view.status.back(), "Scanning Complete");
}

// "Could not record the scan" came as a modal box inside the waiter's
// hand-over: a scan started (or the program closed) meanwhile waited for
// that waiter for ever.
TEST_F(Scans, ARecordThatCannotBeStoredIsReportedAfterTheHandOverAndFreezesNothing) {
    const fs::path dump = Folders().DataFolder + "db\\list.gav";
    const fs::path saved = Folders().DataFolder + "db\\list.gav.saved";
    if (fs::exists(dump)) fs::rename(dump, saved);
    fs::create_directory(dump);  // the dump can no longer be written
    bool nextScanEnded = false;
    outcomes.onError = [&] {
        if (outcomes.reportedInsideHandOver) return;  // would hang; reported below
        fs::remove(dump);
        script({"exit 0"});
        scan.StartOrResumeScan();
        nextScanEnded = waitIdle();
    };
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    EXPECT_TRUE(test::PumpUntil([&] { return !outcomes.errors.empty(); }));
    std::error_code ignored;
    fs::remove(dump, ignored);
    if (fs::exists(saved)) fs::rename(saved, dump);
    EXPECT_FALSE(outcomes.reportedInsideHandOver);
    EXPECT_TRUE(nextScanEnded);
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
}

// A start that fails half-way (here the file list cannot be written) left
// the scan "scanning" with no scanner; a pipe that cannot be made goes the
// same way.
TEST_F(Scans, AStartThatFailsHalfWayLeavesTheStateIdle) {
    const std::string realData = Folders().DataFolder;
    Folders().DataFolder = path("no such folder") + "\\";
    scan.fixedDrives = [this] { return std::vector<std::string>{path("Zo\xC3\xAB") + "\\"}; };
    script({"record " + path("started.txt"), "exit 0"});
    scan.StartOrResumeScan();
    Folders().DataFolder = realData;
    EXPECT_EQ(ScanState, "idle");
    EXPECT_FALSE(scan.ScannerRunning());
    ExpectFailedLook(view);
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_EQ(outcomes.failures[0].rfind("The scanner could not be started: ", 0), 0u)
        << outcomes.failures[0];
    test::PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(fs::exists(path("started.txt")));
}

}  // namespace
}  // namespace tolvar
