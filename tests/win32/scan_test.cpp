// Whole scans with the fake scanner installed as bin\snr\1\9\clamscan.exe
// beside this test program: the live display, the end of a scan (exactly
// once, after the last chunk), stops and the scanner's arguments. How scans
// fail is in scan_endings_test.cpp.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <windows.h>

#include <tlhelp32.h>

#include "app/start_up.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings_record.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan_fixture.h"
#include "test_mirror.h"
#include "test_support.h"
#include "ui/skin_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Scans;

TEST_F(Scans, DetectionsAndCleanItemsAreShownCountedAndRecorded) {
    // The CR of one line ends one write and its LF starts the next.
    script({"out C:\\\\t\\\\a.txt: OK\\r\\n", "out C:\\\\t\\\\b.exe: Eicar-Test-Signature FOUND\\r",
            "out \\nC:\\\\t\\\\c.txt: OK\\n", "exit 1"});
    scan.StartOrResumeScan();
    EXPECT_EQ(ScanState, "scanning");
    EXPECT_EQ(view.progressViews, 1);
    EXPECT_TRUE(view.refreshing());
    EXPECT_EQ(view.status.back(), "Preparing to Scan ...");
    ASSERT_TRUE(waitIdle());

    const ReportParser& p = scan.Parser();
    EXPECT_EQ(p.ItemsScanned(), 2);
    ASSERT_EQ(p.InfectionCount(), 1);
    EXPECT_EQ(p.Table()[0].FilePath, "C:\\t\\b.exe");
    EXPECT_EQ(p.Table()[0].VirusName, "Eicar-Test-Signature ");
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, "C:\\t\\b.exe");
    EXPECT_EQ(view.infections.back(), 1);
    EXPECT_EQ(view.items.back(), 2);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(view.percent.back(), "100%");
    EXPECT_EQ(view.bar.back(), 100);
    EXPECT_FALSE(view.refreshing());
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
    EXPECT_EQ(outcomes.windowsShown(), 1);

    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().TotalInfectionsFound(), foundBefore + 1);
    EXPECT_EQ(Statistics().LastItemsScanned(), 2);
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
    EXPECT_EQ(fs::file_size(Folders().DataFolder + "db\\list.gav"), 281500u);

    // The registry holds the record byte for byte.
    ScanStatistics stored;
    RegistryKey("lsd").ReadBinary(stored.MutableBytes().data(), ScanStatistics::kSize);
    EXPECT_EQ(stored.Bytes(), Statistics().Bytes());
    SettingsRecord settings;
    RegistryKey("sysdata").ReadBinary(settings.MutableBytes().data(), SettingsRecord::kSize);
    EXPECT_NE(settings.LastUpdateDate(), 0.0);  // the first start's stale reset was stored
}

TEST_F(Scans, ACleanScanShowsTheNoInfectionsWindowAndASecondScanStartsFromZero) {
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);

    script({"out C:\\\\t\\\\a.txt: OK\\n", "exit 0"});
    scan.StartOrResumeScan();
    EXPECT_TRUE(view.rows.empty());  // emptied at the start
    EXPECT_EQ(view.items.back(), 0);
    EXPECT_EQ(view.infections.back(), 0);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(scan.Parser().InfectionCount(), 0);
    EXPECT_EQ(scan.Parser().ItemsScanned(), 1);
    EXPECT_EQ(outcomes.noInfections, 1);
    EXPECT_EQ(outcomes.windowsShown(), 2);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 2);
    EXPECT_EQ(Statistics().LastItemsScanned(), 1);
}

TEST_F(Scans, StopWhileRunningEndsTheScannerAndRecordsTheScanOnce) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "hang"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 1; }));
    scan.StopScan();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_FALSE(scan.ScannerRunning());
    EXPECT_EQ(view.status.back(), "Scanning Stopped");
    EXPECT_EQ(view.items.back(), 1);
    EXPECT_FALSE(view.refreshing());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().LastItemsScanned(), 1);
    EXPECT_EQ(outcomes.noInfections, 1);
    test::PumpUntil([] { return false; }, 300);  // nothing more arrives
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(outcomes.windowsShown(), 1);
}

int RunningScanners() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok;
         ok = Process32Next(snapshot.get(), &entry)) {
        n += _stricmp(entry.szExeFile, "clamscan.exe") == 0 ? 1 : 0;
    }
    return n;
}

TEST_F(Scans, ShutDownWithAPausedScanLeavesNoScannerBehindAndRecordsNothing) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "hang"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 1; }));
    ASSERT_EQ(RunningScanners(), 1);
    scan.PauseScan();
    Skin skin;
    ShutDown(scan, skin);
    EXPECT_FALSE(scan.ScannerRunning());
    EXPECT_TRUE(test::PumpUntil([] { return RunningScanners() == 0; }, 3000));
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
    EXPECT_EQ(outcomes.windowsShown(), 0);
}

TEST_F(Scans, StopRacingTheScannersOwnExitEndsTheScanExactlyOnce) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "touch " + path("started"), "sleep 300",
            "out C:\\\\t\\\\late.exe: Late FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return fs::exists(path("started")); }));
    scan.StopScan();  // the scanner ends inside the one-second wait
    ASSERT_TRUE(waitIdle());
    test::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    // The end came after the last chunk: the late detection counts.
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
    EXPECT_EQ(outcomes.windowsShown(), 1);
}

TEST_F(Scans, EveryChunkWrittenBeforeTheExitIsCounted) {
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i)
        lines.push_back("out C:\\\\t\\\\f" + std::to_string(i) + ".txt: OK\\n");
    lines.push_back("exit 0");
    script(lines);
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Statistics().LastItemsScanned(), 300);
    EXPECT_EQ(view.items.back(), 300);
}

TEST_F(Scans, AFloodOfLinesEndsWithExactFiguresAndCostsThePageNothingPerLine) {
    // 50,000 report lines, ten files to a folder, a detection every 10,000th.
    script({"flood 50000"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(60000));
    EXPECT_EQ(Statistics().LastItemsScanned(), 49995);
    EXPECT_EQ(Statistics().LastInfectionsFound(), 5);
    EXPECT_EQ(view.items.back(), 49995);
    EXPECT_EQ(view.infections.back(), 5);
    ASSERT_EQ(view.rows.size(), 5u);
    EXPECT_EQ(view.rows[4].VirusName, "Flood.Test-Signature ");
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    // The page is brought up to date on the refresh ticks and once at the
    // end, never per line: a handful of calls per tick, not one per line.
    EXPECT_LT(view.calls, 20 + 12 * view.ticks) << view.ticks << " ticks";
    EXPECT_LT(view.calls, 5000);
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{5});
}

TEST_F(Scans, TheScannerGetsExactlyItsArgumentsAndRunsInTheProgramFolder) {
    const std::string blank = path("My Folder") + "\\";
    const std::string plain = path("target") + "\\";
    scan.fixedDrives = [&] { return std::vector<std::string>{blank, plain}; };
    script({"args " + path("args.txt"), "record " + path("record.txt"), "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    const std::vector<std::string> args = readLines("args.txt");
    ASSERT_GE(args.size(), 7u);
    EXPECT_EQ(args[0], "--recursive");
    EXPECT_EQ(args[1], "--memory");
    EXPECT_EQ(args[2], "--unload");
    EXPECT_EQ(args[3], "--kill");
    EXPECT_EQ(args[4], "--database=" + Folders().DatabaseFolder + "main.cvd");
    // A blank in a folder and its trailing backslash arrive intact, and the
    // next argument stays separate.
    EXPECT_EQ(args[args.size() - 2], blank);
    EXPECT_EQ(args[args.size() - 1], plain);

    const std::vector<std::string> record = readLines("record.txt");
    ASSERT_EQ(record.size(), 2u);
    std::string folder = Folders().ProgramFolder;
    folder.pop_back();
    EXPECT_EQ(_stricmp(record[1].c_str(), folder.c_str()), 0) << record[1];
}

TEST_F(Scans, EveryDatabaseTheFolderHoldsIsPassedButABrokenOne) {
    const auto db = [](const char* name) { return Folders().DatabaseFolder + name; };
    const auto clear = [&] {
        for (const char* name :
             {"main.cvd", "main.cld", "daily.cvd", "daily.cld", "bytecode.cvd", "bytecode.cld"})
            fs::remove(db(name));
    };
    clear();
    std::ofstream(db("main.cvd"), std::ios::binary) << test::Mirror::Database(1, 10);
    std::ofstream(db("daily.cld"), std::ios::binary) << test::Mirror::Database(2, 10);
    std::ofstream(db("bytecode.cvd"), std::ios::binary) << "cut";
    script({"args " + path("args.txt"), "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    clear();
    const std::vector<std::string> args = readLines("args.txt");
    ASSERT_GE(args.size(), 7u);
    EXPECT_EQ(args[4], "--database=" + db("main.cvd"));
    EXPECT_EQ(args[5], "--database=" + db("daily.cld"));
    EXPECT_EQ(args[6].rfind("--database", 0), std::string::npos) << args[6];
}

// Removes the database folder's files of these names now and again when it
// goes, so that no test leaves its databases to the next.
class DatabasesRemoved {
public:
    DatabasesRemoved() { remove(); }
    ~DatabasesRemoved() { remove(); }
    DatabasesRemoved(const DatabasesRemoved&) = delete;
    DatabasesRemoved& operator=(const DatabasesRemoved&) = delete;

private:
    static void remove() {
        for (const char* name : {"daily.cvd", "daily.cld", "bytecode.cvd", "bytecode.cld"}) {
            std::error_code ignored;
            fs::remove(Folders().DatabaseFolder + name, ignored);
        }
    }
};

// Guards against the scanner never getting the daily database freshclam
// patched: from the second day on it is daily.cld (freshclam deletes
// daily.cvd when it writes it), whose header has "X" where a .cvd has its
// MD5, and it was taken for no database.
TEST_F(Scans, TheDailyDatabaseFreshclamPatchedIsNamedBesideTheMainOne) {
    const auto db = [](const char* name) { return Folders().DatabaseFolder + name; };
    const DatabasesRemoved removed;
    const std::string patched = test::FreshclamPatchedDatabase();
    ASSERT_FALSE(patched.empty()) << "test.cld is missing; the build scripts make it";
    // main.cvd is the fixture's (ClamAV's test-1.cvd).
    std::ofstream(db("daily.cld"), std::ios::binary) << patched;
    script({"args " + path("args.txt"), "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    std::vector<std::string> args = readLines("args.txt");
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[4], "--database=" + db("main.cvd"));
    EXPECT_EQ(args[5], "--database=" + db("daily.cld"));
    EXPECT_EQ(args[6], path("target") + "\\");

    // An older daily.cvd beside it (a download of the program's own that
    // was installed before the updater patched) is passed over.
    const std::string older = test::ClamavTestFile("test-5.cvd");
    ASSERT_FALSE(older.empty()) << "test-5.cvd is missing; the build scripts fetch it";
    std::ofstream(db("daily.cvd"), std::ios::binary) << older;
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    args = readLines("args.txt");
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[5], "--database=" + db("daily.cld"));
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 2);
}

}  // namespace
}  // namespace tolvar
