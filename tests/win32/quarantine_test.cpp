// Removal and restore on real files: nothing is deleted before its copy in
// the vault is whole and its record is on the disk, counts tell the truth,
// names never clash, a failure stops the run and says so, and a restore puts
// back exactly what was taken.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "app/program_win.h"
#include "core/app_error.h"
#include "core/folders.h"
#include "framework/application_win.h"
#include "quarantine_fixture.h"
#include "ui/removal_windows_win.h"
#include "ui/splash_window_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Quarantine;

TEST_F(Quarantine, EachFileIsCopiedWholeIntoTheVaultThenDeletedLastFirst) {
    scanFinding({"a.exe", "b.exe", "c.exe"});
    StartRemoval(scan, windows);
    for (const char* name : {"a.exe", "b.exe", "c.exe"}) {
        EXPECT_FALSE(fs::exists(target(name))) << name;
        EXPECT_EQ(content(VaultFolder() + name), std::string("infected:") + name);
    }
    ASSERT_EQ(Vault().Count(), 3);
    EXPECT_EQ(Vault().Record(1).FilePath, target("c.exe"));  // handled third, second, first
    EXPECT_EQ(Vault().Record(3).FilePath, target("a.exe"));
    EXPECT_EQ(Vault().Record(1).VaultPath, VaultFolder() + "c.exe");
    EXPECT_EQ(fs::file_size(VaultRecordsPath()), 563000u);
    EXPECT_EQ(Settings().StoredVaultCount(), 3);
    const auto stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), 3);
    EXPECT_EQ(stored->Record(3), Vault().Record(3));
    EXPECT_EQ(view.status.back(), "3 Infections Removed");
    EXPECT_EQ(view.infections.back(), 0);
    EXPECT_EQ(view.items.back(), 0);
    EXPECT_EQ(view.percent.back(), "0%");
    EXPECT_EQ(view.bar.back(), 0);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(scan.Parser().InfectionCount(), 0);
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 3);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{3, 0}}));
    EXPECT_EQ(windows.stopReasons, std::vector<std::string>{""});
    EXPECT_EQ(windows.promptsClosed, 1);
}

// Guards against an error box naming records.gav, and against deleting or
// counting anything, when the vault folder has gone or something else
// stands in its place.
TEST_F(Quarantine, WithoutAVaultFolderTheUserIsToldAndNothingIsRemoved) {
    scanFinding({"a.exe", "b.exe"});
    fs::remove_all(VaultFolder());
    const std::string told =
        "The quarantine vault folder is missing or not a folder; nothing was removed.";
    StartRemoval(scan, windows);
    std::ofstream(VaultFolder().substr(0, VaultFolder().size() - 1), std::ios::binary) << "x";
    StartRemoval(scan, windows);
    EXPECT_EQ(windows.told, (std::vector<std::string>{told, told}));
    EXPECT_TRUE(fs::exists(target("a.exe")));
    EXPECT_TRUE(fs::exists(target("b.exe")));
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(scan.Parser().InfectionCount(), 2);
    EXPECT_EQ(windows.runs, 0);
    EXPECT_TRUE(windows.done.empty());
    fs::remove(VaultFolder().substr(0, VaultFolder().size() - 1));
}

// Guards against a retry of what a run left replacing the scan's count of
// removals instead of adding to it.
TEST_F(Quarantine, ALockedFileStaysListedAndItsRetryAddsToTheCount) {
    scanFinding({"a.exe", "locked.exe"});
    const std::int32_t totalBefore = Statistics().TotalInfectionsRemoved();
    HANDLE lock = CreateFileA(target("locked.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    StartRemoval(scan, windows);
    CloseHandle(lock);
    EXPECT_EQ(content(target("locked.exe")), "infected:locked.exe");
    EXPECT_FALSE(fs::exists(target("a.exe")));
    EXPECT_EQ(Vault().Count(), 1);
    EXPECT_EQ(vaultFilesEndingWith("locked.exe"), 0);
    EXPECT_EQ(view.status.back(), "1 Infections Removed");
    // The one left is listed for another try.
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, target("locked.exe"));
    EXPECT_EQ(view.infections.back(), 1);
    EXPECT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 1);

    RemoveCommand(scan, windows);
    EXPECT_FALSE(fs::exists(target("locked.exe")));
    EXPECT_EQ(Vault().Count(), 2);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{1, 1}, {1, 0}}));
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 2);
    EXPECT_EQ(Statistics().TotalInfectionsRemoved(), totalBefore + 2);
}

TEST_F(Quarantine, AVaultFileOfTheSameNameIsNeverReplaced) {
    std::ofstream(VaultFolder() + "a.exe", std::ios::binary) << "older";
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    EXPECT_EQ(content(VaultFolder() + "a.exe"), "older");
    ASSERT_EQ(Vault().Count(), 1);
    const std::string vaultPath = Vault().Record(1).VaultPath;
    EXPECT_NE(vaultPath, VaultFolder() + "a.exe");
    EXPECT_EQ(vaultPath.substr(vaultPath.size() - 5), "a.exe");
    EXPECT_EQ(content(vaultPath), "infected:a.exe");
}

// Guards against a copy growing under a fixed name such as "<target>.part"
// or "records.gav.new", which destroyed a vaulted file of that name, and
// against a removed "records.gav" being given the records file's name.
TEST_F(Quarantine, TemporaryNamesNeverMeetARealFile) {
    std::ofstream(VaultFolder() + "setup.exe.part", std::ios::binary) << "vaulted part";
    std::ofstream(VaultFolder() + "records.gav.new", std::ios::binary) << "vaulted new";
    scanFinding({"setup.exe", "records.gav"});
    StartRemoval(scan, windows);
    EXPECT_EQ(content(VaultFolder() + "setup.exe.part"), "vaulted part");
    EXPECT_EQ(content(VaultFolder() + "records.gav.new"), "vaulted new");
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_NE(Vault().Record(1).VaultPath, VaultRecordsPath());
    EXPECT_EQ(content(Vault().Record(1).VaultPath), "infected:records.gav");
    EXPECT_EQ(fs::file_size(VaultRecordsPath()), 563000u);

    std::ofstream(target("setup.exe.part"), std::ios::binary) << "the user's part";
    select(1);
    RestoreToOriginal(list);
    EXPECT_EQ(content(target("setup.exe")), "infected:setup.exe");
    EXPECT_EQ(content(target("setup.exe.part")), "the user's part");
    // No temporary file is left beside the target either.
    EXPECT_EQ(std::distance(fs::directory_iterator(path("target")), fs::directory_iterator()), 2);
}

TEST_F(Quarantine, RestoringRecordTwoOfThreeBringsTheFileBackAndKeepsTheOrder) {
    scanFinding({"a.exe", "b.exe", "c.exe"});
    StartRemoval(scan, windows);
    select(1);  // record 2: b.exe
    RestoreToOriginal(list);
    EXPECT_EQ(content(target("b.exe")), "infected:b.exe");
    EXPECT_FALSE(fs::exists(VaultFolder() + "b.exe"));
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_EQ(Vault().Record(1).FilePath, target("c.exe"));
    EXPECT_EQ(Vault().Record(2).FilePath, target("a.exe"));
    EXPECT_EQ(list.rows, (std::vector<std::string>{"Worm.c.exe ", "Worm.a.exe "}));
    EXPECT_EQ(Settings().StoredVaultCount(), 2);
    EXPECT_EQ(test::StoredVault()->Count(), 2);
    EXPECT_TRUE(list.questions.empty());
    EXPECT_TRUE(list.notices.empty());
}

TEST_F(Quarantine, RestoreAsksBeforeReplacingAndKeepsTheRecordOnNo) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    std::ofstream(target("a.exe"), std::ios::binary) << "new file";
    select(0);
    list.answer = false;
    RestoreToOriginal(list);
    EXPECT_EQ(list.questions.size(), 1u);
    EXPECT_EQ(content(target("a.exe")), "new file");
    EXPECT_EQ(Vault().Count(), 1);
    list.answer = true;
    RestoreToOriginal(list);
    EXPECT_EQ(content(target("a.exe")), "infected:a.exe");
    EXPECT_EQ(Vault().Count(), 0);
}

TEST_F(Quarantine, RestoreToAFolderAndToADriveRoot) {
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);
    fs::create_directories(path("elsewhere"));
    list.folder = path("elsewhere");
    select(0);  // b.exe
    RestoreToFolder(list);
    EXPECT_EQ(content(path("elsewhere") + "\\b.exe"), "infected:b.exe");

    list.folder = "C:\\";
    select(0);  // a.exe
    RestoreToFolder(list);
    EXPECT_EQ(content("C:\\a.exe"), "infected:a.exe");
    fs::remove("C:\\a.exe");
    EXPECT_EQ(Vault().Count(), 0);
}

TEST_F(Quarantine, NoRowSelectedDoesNothingAndARecordOutsideTheVaultIsRefused) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    select(-1);
    RestoreToOriginal(list);
    EXPECT_EQ(Vault().Count(), 1);
    list.folder = path("elsewhere");
    RestoreToFolder(list);
    EXPECT_EQ(Vault().Count(), 1);
    // A cancelled folder picker restores nothing either.
    list.folder = "";
    select(0);
    RestoreToFolder(list);
    EXPECT_EQ(Vault().Count(), 1);

    const std::string secret = path("secret.txt");
    std::ofstream(secret, std::ios::binary) << "not yours";
    InfectionRecord planted{secret, path("stolen.txt"), "Planted "};
    ASSERT_TRUE(Vault().Append(planted));
    select(1);
    RestoreToOriginal(list);
    EXPECT_FALSE(fs::exists(path("stolen.txt")));
    EXPECT_EQ(Vault().Count(), 2);
    ASSERT_EQ(list.notices.size(), 1u);
}

// Guards against a run going on, or deleting a file, when the vault can take
// nothing more: all its slots are taken.
TEST_F(Quarantine, AFullVaultStopsTheRunAndTheFilesStay) {
    auto full = std::make_unique<VaultTable>();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(
            full->Append(InfectionRecord{VaultFolder() + "x", "C:\\x" + std::to_string(i), "X "}));
    CommitVault(*full);
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);
    EXPECT_TRUE(fs::exists(target("a.exe")));
    EXPECT_TRUE(fs::exists(target("b.exe")));
    EXPECT_EQ(Vault().Count(), 1000);
    EXPECT_EQ(view.status.back(), "0 Infections Removed");
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(windows.stopReasons, std::vector<std::string>{"the vault is full"});
}

// Guards against a second copy of a file already in the vault by its path
// sitting in the vault without a record of its own.
TEST_F(Quarantine, AFileAlreadyRecordedIsVaultedAgainWithItsOwnRecord) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    EXPECT_FALSE(fs::exists(target("a.exe")));
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_EQ(Vault().Record(1).FilePath, Vault().Record(2).FilePath);
    EXPECT_NE(Vault().Record(1).VaultPath, Vault().Record(2).VaultPath);
    EXPECT_EQ(content(Vault().Record(2).VaultPath), "infected:a.exe");
    EXPECT_EQ(vaultFilesEndingWith("a.exe"), 2);
}

// Guards against deleting a file whose record could not reach the disk, and
// against a run that goes on, or ends without a word, after such a failure.
TEST_F(Quarantine, ARecordsWriteThatFailsStopsTheRunAndKeepsTheFiles) {
    scanFinding({"old.exe"});
    StartRemoval(scan, windows);
    const std::string before = content(VaultRecordsPath());
    scanFinding({"a.exe", "b.exe", "c.exe"});
    // Another program holds the records file: it cannot be replaced.
    HANDLE held = CreateFileA(VaultRecordsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    StartRemoval(scan, windows);
    CloseHandle(held);
    for (const char* name : {"a.exe", "b.exe", "c.exe"}) {
        EXPECT_EQ(content(target(name)), std::string("infected:") + name);
        EXPECT_EQ(vaultFilesEndingWith(name), 0) << name;
    }
    EXPECT_EQ(vaultFilesEndingWith(".tmp"), 0);
    EXPECT_EQ(content(VaultRecordsPath()), before);
    EXPECT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Settings().StoredVaultCount(), 1);
    EXPECT_EQ(windows.done.back(), (std::pair<int, int>{0, 3}));
    EXPECT_EQ(windows.stopReasons.back(), "the vault's records could not be saved");
    EXPECT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 0);
}

// Guards against a copy that the disk could not take leaving a half-written
// file in the vault, or its source deleted. The disk runs full through the
// copy's write layer after its first 64 KiB.
TEST_F(Quarantine, AFullDiskDuringTheCopyKeepsTheFileAndStopsTheRun) {
    scanFinding({"a.exe", "big.exe"});
    std::ofstream(target("big.exe"), std::ios::binary) << std::string(300000, 'v');
    windows.beforeRun = [](RemovalRun& run) {
        auto room = std::make_shared<unsigned long>(64 * 1024);
        run.copyWrites = [room, write = run.copyWrites](void* file, const char* data,
                                                        unsigned long size) {
            if (size > *room) {
                SetLastError(ERROR_DISK_FULL);
                return false;
            }
            *room -= size;
            return write(file, data, size);
        };
    };
    StartRemoval(scan, windows);
    EXPECT_EQ(fs::file_size(target("big.exe")), 300000u);
    EXPECT_TRUE(fs::exists(target("a.exe")));
    EXPECT_EQ(vaultFilesEndingWith("big.exe"), 0);
    EXPECT_EQ(vaultFilesEndingWith(".tmp"), 0);
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(windows.stopReasons, std::vector<std::string>{"the vault's disk is full"});
}

// The removal's windows as the program shows them.
class WindowedRemoval : public RemovalWindows {
public:
    explicit WindowedRemoval(Skin& skin) : progress(skin), done(skin) {}
    void ClosePrompt() override {}
    void TellNothingRemoved(const std::string&) override {}
    void AskToStopScan() override {}
    void RunRemoval(RemovalRun& run) override {
        running = &run;
        progress.Run(run);
        running = nullptr;
    }
    void ShowRemovalDone(const RemovalOutcome& outcome) override { done.ShowResult(outcome); }
    TForm7 progress;
    TForm6 done;
    RemovalRun* running = nullptr;
};

class WindowedQuarantine : public Quarantine {
protected:
    WindowedQuarantine() {
        skin.LoadSkin(Folders().ProgramFolder);
        shown.progress.Timer1.setInterval(20);
        closer.onTimer = [this] {
            if (!shown.done.visible()) return;
            doneCount = shown.done.Label1.caption();
            doneProblem = shown.done.Label4.caption();
            shown.done.Image3.click();
        };
    }
    Skin skin;
    WindowedRemoval shown{skin};
    std::string doneCount;
    std::string doneProblem;
    Timer closer{50};
};

TEST_F(WindowedQuarantine, TheProgressAndDoneWindowsRunTheRemovalOneItemPerTick) {
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, shown);
    EXPECT_EQ(doneCount, "2");
    EXPECT_EQ(doneProblem, "");
    EXPECT_EQ(shown.progress.Label2.caption(), "1");  // the count done before the last item
    EXPECT_FALSE(shown.progress.visible());
    EXPECT_FALSE(fs::exists(target("a.exe")));
}

// Guards against the copy of a large file freezing the program for its whole
// length (which invites the kill that loses records): another thread's
// messages to the progress window are answered while the copy is under way.
TEST_F(WindowedQuarantine, ALargeFileIsCopiedWhileTheWindowKeepsAnswering) {
    scanFinding({"large.exe"});
    {
        std::ofstream out(target("large.exe"), std::ios::binary);
        const std::string block(1 << 20, 'L');
        for (int i = 0; i < 200; ++i)
            out << block;
    }
    std::atomic<bool> finished{false};
    std::atomic<int> answeredDuringCopy{0};
    std::thread asker([&] {
        while (!finished) {
            HWND window = shown.progress.handle();
            if (window && IsWindowVisible(window)) {
                SendMessageA(window, WM_NULL, 0, 0);
                // Runs on the UI thread: only a thread that is free to answer
                // runs it while the item is still under way.
                Application::instance().synchronize([&] {
                    if (shown.running && shown.running->Busy()) ++answeredDuringCopy;
                });
            }
            Sleep(5);
        }
    });
    StartRemoval(scan, shown);
    finished = true;
    asker.join();
    EXPECT_GT(answeredDuringCopy.load(), 0);
    EXPECT_EQ(doneCount, "1");
    EXPECT_FALSE(fs::exists(target("large.exe")));
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(fs::file_size(Vault().Record(1).VaultPath), 200u << 20);
}

TEST_F(WindowedQuarantine, TheDoneWindowSaysWhyTheRunStopped) {
    scanFinding({"a.exe", "b.exe"});
    std::ofstream(VaultRecordsPath(), std::ios::binary) << std::string(563000, '\0');
    HANDLE records = CreateFileA(VaultRecordsPath().c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    StartRemoval(scan, shown);
    CloseHandle(records);
    EXPECT_EQ(doneCount, "0");
    EXPECT_EQ(doneProblem, "Stopped: the vault's records could not be saved; 2 not removed.");
}

// The whole program: the Scan page's Remove button and the prompt that
// followed the scan.
class ProgramRemoval : public testing::Test {
protected:
    ProgramRemoval() : dir(fs::temp_directory_path() / "tolvar-program-removal") {
        fs::remove_all(dir);
        fs::create_directories(dir);
        program.mainForm().StopUpdateCheck();
        program.scan().fixedDrives = [this] {
            return std::vector<std::string>{dir.string() + "\\"};
        };
    }
    ~ProgramRemoval() override {
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", nullptr);
        fs::remove_all(dir);
    }
    static HWND Showing(const char* caption) {
        HWND window = FindWindowA(nullptr, caption);
        return window && IsWindowVisible(window) ? window : nullptr;
    }
    fs::path dir;
    TForm10 splash{false};
    Program program{splash};
    test::MainDatabase database;
};

// Guards against the prompt staying up once the Scan page's button has
// removed what it offered: pressed later, it ran an empty removal that
// reported "0 Infections Removed" and reset the scan's count.
TEST_F(ProgramRemoval, TheRemoveButtonClosesThePromptItStartsFrom) {
    const std::string file = (dir / "a.exe").string();
    std::ofstream(file, std::ios::binary) << "infected";
    const std::string script = (dir / "script.txt").string();
    std::ofstream(script, std::ios::binary)
        << "out " << test::Escaped(file) << ": Worm FOUND\\n\nexit 1\n";
    SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", script.c_str());
    program.scan().StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([] { return Showing("Infections Found") != nullptr; }, 15000));

    Timer closer(50);
    closer.onTimer = [] {
        if (HWND done = Showing("Removal Complete")) test::ClickAt(done, 130 + 50, 112 + 16);
    };
    program.mainForm().Image20.click();
    EXPECT_EQ(Showing("Infections Found"), nullptr);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 1);
}

// In another process: removes the files named by TOLVAR_REMOVAL_CHILD_FILES
// ('|' between them) and stops dead after the second, for the test below to
// end it there.
TEST(RemovalChild, DISABLED_RemovesTwoThenWaitsToBeKilled) {
    char files[4096] = "";
    ASSERT_GT(GetEnvironmentVariableA("TOLVAR_REMOVAL_CHILD_FILES", files, sizeof files), 0u);
    test::RecordingScanView view;
    test::RecordingOutcomes outcomes;
    ScanSession scan(view, outcomes);
    LoadProgramState(scan.Parser().MutableTable());
    std::string list = files;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t bar = std::min(list.find('|', start), list.size());
        scan.Parser().AddInfection({"", list.substr(start, bar - start), "Worm.Test "});
        start = bar + 1;
    }
    test::InlineRemovalWindows windows;
    int handled = 0;
    windows.afterItem = [&](RemovalRun&) {
        if (++handled == 2) Sleep(INFINITE);
    };
    StartRemoval(scan, windows);
}

// Guards against records that reach the disk only when the run ends: a kill
// (or a crash, a log-off, a power cut) between two items left deleted files
// whose vault copies had no record.
TEST_F(Quarantine, AKillBetweenTwoItemsLeavesEveryDeletedFileRecordedOnDisk) {
    for (const char* name : {"a.exe", "b.exe", "c.exe"})
        std::ofstream(target(name), std::ios::binary) << "infected:" << name;
    const UniqueHandle child =
        test::StartThisProgram("RemovalChild.*", "TOLVAR_REMOVAL_CHILD_FILES",
                               target("a.exe") + "|" + target("b.exe") + "|" + target("c.exe"));
    ASSERT_TRUE(child);
    const bool twoGone = test::PumpUntil(
        [&] { return !fs::exists(target("c.exe")) && !fs::exists(target("b.exe")); }, 60000);
    TerminateProcess(child.get(), 1);
    WaitForSingleObject(child.get(), 10000);
    ASSERT_TRUE(twoGone);

    EXPECT_TRUE(fs::exists(target("a.exe")));
    const auto stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), 2);
    EXPECT_EQ(stored->Record(1).FilePath, target("c.exe"));
    EXPECT_EQ(stored->Record(2).FilePath, target("b.exe"));
    EXPECT_EQ(content(stored->Record(1).VaultPath), "infected:c.exe");
    EXPECT_EQ(content(stored->Record(2).VaultPath), "infected:b.exe");
}

}  // namespace
}  // namespace tolvar
