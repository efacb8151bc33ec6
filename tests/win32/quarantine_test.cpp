// Removal and restore on real files: nothing is deleted before its copy in
// the vault is whole, counts tell the truth, vault names never clash, and a
// restore puts back exactly what was taken.

#include <gtest/gtest.h>

#include <windows.h>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folders.h"
#include "core/settings.h"
#include "quarantine/removal.h"
#include "quarantine/restore.h"
#include "quarantine/vault.h"
#include "scan_fixture.h"
#include "ui/removal_windows_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

class Quarantine : public test::Scans {
protected:
    Quarantine() {
        fs::remove_all(VaultFolder());
        fs::create_directories(VaultFolder());
        Vault().SetCount(0);
    }
    ~Quarantine() override {
        Vault().SetCount(0);
        Settings().SetVaultCount(0);
    }

    // Makes the files and a scan that finds each of them.
    void scanFinding(const std::vector<std::string>& names) {
        std::vector<std::string> lines;
        for (const std::string& name : names) {
            const std::string file = path("target") + "\\" + name;
            std::ofstream(file, std::ios::binary) << "infected:" << name;
            std::string escaped;
            for (char c : file)
                escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
            lines.push_back("out " + escaped + ": Worm." + name + " FOUND\\n");
        }
        lines.push_back("exit 1");
        script(lines);
        scan.StartOrResumeScan();
        ASSERT_TRUE(waitIdle());
        ASSERT_EQ(scan.Parser().InfectionCount(), static_cast<int>(names.size()));
    }

    std::string target(const std::string& name) { return path("target") + "\\" + name; }
    static std::string content(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Lists a vault record selected, as the page's list does.
    void select(int row) {
        list.ShowVaultRows(Vault());
        list.selected = row;
    }

    test::InlineRemovalWindows windows;
    test::RecordingVaultList list;
};

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
    EXPECT_EQ(fs::file_size(VaultFolder() + "records.gav"), 563000u);
    EXPECT_EQ(Settings().VaultCount(), 3);
    EXPECT_EQ(view.status.back(), "3 Infections Removed");
    EXPECT_EQ(view.infections.back(), 0);
    EXPECT_EQ(view.items.back(), 0);
    EXPECT_EQ(view.percent.back(), "0%");
    EXPECT_EQ(view.bar.back(), 0);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(scan.Parser().InfectionCount(), 0);
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 3);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{3, 0}}));
}

TEST_F(Quarantine, WithoutAVaultFolderNothingIsDeletedAndNothingCountsAsRemoved) {
    scanFinding({"a.exe", "b.exe"});
    fs::remove_all(VaultFolder());
    EXPECT_THROW(StartRemoval(scan, windows),
                 AppError);  // the records file cannot be written either
    EXPECT_TRUE(fs::exists(target("a.exe")));
    EXPECT_TRUE(fs::exists(target("b.exe")));
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_TRUE(windows.done.empty());
}

TEST_F(Quarantine, ALockedFileStaysListedAndTheOthersAreRemoved) {
    scanFinding({"a.exe", "locked.exe"});
    HANDLE lock = CreateFileA(target("locked.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    StartRemoval(scan, windows);
    CloseHandle(lock);
    EXPECT_TRUE(fs::exists(target("locked.exe")));
    EXPECT_EQ(content(target("locked.exe")), "infected:locked.exe");
    EXPECT_FALSE(fs::exists(target("a.exe")));
    EXPECT_EQ(Vault().Count(), 1);
    EXPECT_EQ(view.status.back(), "1 Infections Removed");
    // The one left is listed for another try.
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, target("locked.exe"));
    EXPECT_EQ(view.infections.back(), 1);
    EXPECT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, target("locked.exe"));
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{1, 1}}));
    EXPECT_EQ(Statistics().LastInfectionsRemoved(), 1);
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
    EXPECT_EQ(Settings().VaultCount(), 2);
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

TEST_F(Quarantine, NoRowSelectedDoesNothingAndAPlantedRecordIsRefused) {
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

TEST_F(Quarantine, AWriteThatCannotFinishLeavesTheOldRecordsFileWhole) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    const std::string records = VaultFolder() + "records.gav";
    const std::string before = content(records);
    // The temporary file cannot be made: a folder stands where it would go.
    fs::create_directories(records + ".new");
    Vault().WithdrawLast();
    EXPECT_THROW(SaveVault(), AppError);
    EXPECT_EQ(content(records), before);
    fs::remove_all(records + ".new");
}

TEST_F(Quarantine, AFullVaultTakesNothingMoreAndTheFileStays) {
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(Vault().Append(
            InfectionRecord{VaultFolder() + "x", "C:\\x" + std::to_string(i), "X "}));
    }
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    EXPECT_TRUE(fs::exists(target("a.exe")));
    EXPECT_EQ(Vault().Count(), 1000);
    EXPECT_EQ(view.status.back(), "0 Infections Removed");
    EXPECT_EQ(view.rows.size(), 1u);
}

TEST_F(Quarantine, AFileAlreadyRecordedIsVaultedAgainWithoutASecondRecord) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    EXPECT_FALSE(fs::exists(target("a.exe")));
    EXPECT_EQ(Vault().Count(), 1);
    int copies = 0;
    for (const auto& entry : fs::directory_iterator(VaultFolder())) {
        const std::string name = entry.path().filename().string();
        copies += name.size() >= 5 && name.substr(name.size() - 5) == "a.exe" ? 1 : 0;
    }
    EXPECT_EQ(copies, 2);  // the second copy is kept too, under its own name
}

// The removal's windows as the program shows them.
class WindowedRemoval : public RemovalWindows {
public:
    explicit WindowedRemoval(Skin& skin) : progress(skin), done(skin) {}
    void ClosePrompt() override {}
    void TellNothingRemoved(const std::string&) override {}
    void AskToStopScan() override {}
    void RunRemoval(RemovalRun& run) override { progress.Run(run); }
    void ShowRemovalDone(const RemovalOutcome& outcome) override { done.ShowResult(outcome); }
    TForm7 progress;
    TForm6 done;
};

TEST_F(Quarantine, TheProgressAndDoneWindowsRunTheRemovalOneItemPerTick) {
    Skin skin;
    skin.LoadSkin(Folders().ProgramFolder);
    WindowedRemoval shown(skin);
    shown.progress.Timer1.setInterval(20);
    scanFinding({"a.exe", "b.exe"});
    std::string shownDone;
    Timer closer(50);
    closer.onTimer = [&] {
        if (!shown.done.visible()) return;
        shownDone = shown.done.Label1.caption();
        shown.done.Image3.click();
    };
    StartRemoval(scan, shown);
    EXPECT_EQ(shownDone, "2");
    EXPECT_EQ(shown.progress.Label2.caption(), "1");  // the count done before the last item
    EXPECT_FALSE(shown.progress.visible());
    EXPECT_FALSE(fs::exists(target("a.exe")));
}

}  // namespace
}  // namespace tolvar
