// The vault under an elevated program that trusts nothing a program without
// administrator rights can write: its folder's access list and its repair,
// records files that cannot be read, are damaged or were open to others,
// restore targets that are no plain path, and junctions or links on the way
// to a file. Under Wine an access list comes down to the Unix permissions
// (an entry for everyone is the file's "others"), so that is what these
// tests can open and see repaired; no process without administrator rights
// can be run to try the list itself.

#include <gtest/gtest.h>

#include <windows.h>

#include "app/program_win.h"
#include "core/folder_protection.h"
#include "core/folder_protection_win.h"
#include "core/registry_win.h"
#include "framework/timer_win.h"
#include "quarantine_fixture.h"
#include "ui/splash_window_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Quarantine;

SecurityView VaultFolderSecurity() {
    const std::optional<SecurityView> view = FolderSecurity(VaultFolder());
    EXPECT_TRUE(view.has_value());
    return view.value_or(SecurityView{});
}

// Who may write the vault as the program judges it here.
std::vector<std::string> Writers(const SecurityView& view) {
    return TrustedWriters(view.owner, CurrentUserSid());
}

// Restarts the program's state, as a new start reads it.
class Restarts : public Quarantine {
protected:
    void restart() { LoadProgramState(scan.Parser().MutableTable()); }
};

// Guards against a vault that any program may write, and against leaving it
// so when the start finds it open.
TEST_F(Restarts, TheVaultIsMadeForAdministratorsOnlyAndRepairedWhenFoundOpen) {
    SecurityView fresh = VaultFolderSecurity();
    EXPECT_FALSE(OthersCanChange(fresh, Writers(fresh)));
    EXPECT_FALSE(test::BroadGroupsMayChange(fresh));
    EXPECT_EQ(VaultTrustProblem(), "");

    ASSERT_TRUE(test::OpenToEveryone(VaultFolder()));
    const SecurityView opened = VaultFolderSecurity();
    ASSERT_TRUE(test::BroadGroupsMayChange(opened)) << "the test could not open the folder";
    EXPECT_NE(VaultTrustProblem(), "");

    restart();
    const SecurityView repaired = VaultFolderSecurity();
    EXPECT_FALSE(test::BroadGroupsMayChange(repaired));
    EXPECT_FALSE(OthersCanChange(repaired, Writers(repaired)));
    EXPECT_EQ(VaultTrustProblem(), "");
    EXPECT_EQ(VaultStartNotice(), "");
}

// Guards against the elevated restore acting on a records file that others
// could have edited: at the start it is set aside whole and never trusted
// again; found open later, nothing is restored from it.
TEST_F(Restarts, AnEditedRecordPointingIntoTheWindowsFolderIsRefused) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);
    char windowsFolder[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    const std::string planted = std::string(windowsFolder) + "\\system32\\tolvar-planted.dll";
    auto edited = std::make_unique<VaultTable>();
    edited->Append({Vault().Record(1).VaultPath, planted, "Worm.a.exe "});
    std::ofstream(VaultRecordsPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(edited->FileImage().data()), 563000);
    const std::string editedBytes = content(VaultRecordsPath());
    ASSERT_TRUE(test::OpenToEveryone(VaultRecordsPath()));

    restart();
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_NE(VaultStartNotice(), "");
    EXPECT_EQ(VaultReadOnlyReason(), "");
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(VaultFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("records.gav.unprotected-", 0) == 0) {
            ++kept;
            EXPECT_EQ(content(entry.path().string()), editedBytes);
        }
    }
    EXPECT_EQ(kept, 1);
    EXPECT_FALSE(fs::exists(VaultRecordsPath()));
    select(0);
    RestoreToOriginal(list);
    EXPECT_FALSE(fs::exists(planted));
    EXPECT_TRUE(fs::exists(edited->Record(1).VaultPath)) << "the vaulted copy stays";

    // Trusted at the start, open to others later: nothing is restored.
    restart();
    scanFinding({"b.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);
    ASSERT_TRUE(test::OpenToEveryone(VaultRecordsPath()));
    select(0);
    RestoreToOriginal(list);
    EXPECT_FALSE(fs::exists(target("b.exe")));
    EXPECT_EQ(Vault().Count(), 1);
    ASSERT_EQ(list.notices.size(), 1u);
    EXPECT_NE(list.notices[0].find("could be changed by programs without administrator rights"),
              std::string::npos)
        << list.notices[0];
}

// Guards against a planted or damaged record making the elevated restore
// write to a device, a stream, a share or a path Windows reads as another.
TEST_F(Quarantine, ARestoreTargetMustBeAPlainPathOnADrive) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    const InfectionRecord kept = Vault().Record(1);
    fs::create_directories(path("x"));
    for (const std::string& to :
         {path("x") + "\\CON", path("x") + "\\nul.txt", path("x") + "\\a.exe:hidden",
          path("x") + "\\..\\escaped.exe", std::string("\\\\127.0.0.1\\c$\\a.exe"),
          std::string("a.exe"), path("x") + "\\a.exe."}) {
        auto table = std::make_unique<VaultTable>();
        table->Append({kept.VaultPath, to, kept.VirusName});
        Vault() = *table;
        select(0);
        list.notices.clear();
        RestoreToOriginal(list);
        EXPECT_EQ(list.notices.size(), 1u) << to;
        EXPECT_EQ(Vault().Count(), 1) << to;
    }
    EXPECT_FALSE(fs::exists(path("escaped.exe")));
    EXPECT_EQ(std::distance(fs::directory_iterator(path("x")), fs::directory_iterator()), 0);
    EXPECT_EQ(content(kept.VaultPath), "infected:a.exe");
}

// Guards against an unreadable records file costing every older record: the
// vault looked empty and the next removal wrote only the new ones.
TEST_F(Restarts, ARecordsFileThatCannotBeReadMakesTheRunReadOnlyAndSurvives) {
    scanFinding({"old.exe"});
    StartRemoval(scan, windows);
    const std::string before = content(VaultRecordsPath());
    HANDLE held = CreateFileA(VaultRecordsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    restart();
    EXPECT_NE(VaultReadOnlyReason(), "");
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(Settings().StoredVaultCount(), 1) << "the stored count waits for the file";

    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(windows.told.size(), 1u);
    EXPECT_EQ(windows.told[0].find("The quarantine vault is read-only in this run"), 0u)
        << windows.told[0];
    EXPECT_EQ(content(target("a.exe")), "infected:a.exe");
    EXPECT_EQ(windows.done.size(), 1u) << "only the first removal ran";
    CloseHandle(held);
    EXPECT_EQ(content(VaultRecordsPath()), before);

    restart();
    EXPECT_EQ(VaultReadOnlyReason(), "");
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("old.exe"));
    StartRemoval(scan, windows);
    EXPECT_FALSE(fs::exists(target("a.exe")));
    EXPECT_EQ(Vault().Count(), 2);
}

// Guards against an unreadable settings record, whose lost count emptied
// the vault list and had the next removal's write drop every record.
TEST_F(Restarts, ALostCountIsTakenFromTheRecordsFile) {
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);
    const SettingsRecord saved = Settings();
    RegistryKey("sysdata").WriteText("not a settings record");
    restart();
    EXPECT_EQ(Vault().Count(), 2);
    scanFinding({"c.exe"});
    StartRemoval(scan, windows);
    const auto stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), 3);
    EXPECT_EQ(stored->Record(1).FilePath, target("b.exe"));
    EXPECT_EQ(stored->Record(3).FilePath, target("c.exe"));
    Settings() = saved;
    SaveSettings();
}

// Runs Windows' own reg.exe, as a registry cleaner or a user would, to its
// end; true when it succeeded.
bool RunReg(const std::string& arguments) {
    std::string command = "reg.exe " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    const UniqueHandle processHandle(process.hProcess);
    const UniqueHandle thread(process.hThread);
    DWORD code = 1;
    return WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.hProcess, &code) && code == 0;
}

bool SettingsRecordStored() {
    SettingsRecord record;
    return RegistryKey("sysdata")
        .ReadBinary(record.MutableBytes().data(), SettingsRecord::kSize)
        .has_value();
}

// Guards against a settings record that is gone (a registry cleaner, a
// roaming profile on a second computer, Windows set up again with the data
// folder kept) or short: its zero count emptied the vault list, and the next
// removal wrote its record over the first one and stored a count of 1.
TEST_F(Restarts, AMissingOrShortSettingsRecordLosesNoRecord) {
    scanFinding({"a.exe", "b.exe", "c.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 3);
    std::vector<InfectionRecord> first;
    for (int k = 1; k <= 3; ++k)
        first.push_back(Vault().Record(k));
    const SettingsRecord saved = Settings();

    ASSERT_TRUE(
        RunReg("delete \"HKLM\\SOFTWARE\\Mirebrook\\AntiVirus\\sysdata\" /ve /f "
               "/reg:32"));
    ASSERT_FALSE(SettingsRecordStored()) << "reg.exe left the settings record";
    restart();
    ASSERT_EQ(Vault().Count(), 3);
    scanFinding({"d.exe"});
    StartRemoval(scan, windows);
    auto stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), 4);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(stored->Record(k), first[static_cast<std::size_t>(k - 1)]) << k;
        EXPECT_EQ(content(stored->Record(k).VaultPath),
                  "infected:" + FileNamePart(first[k - 1].FilePath));
    }
    EXPECT_EQ(stored->Record(4).FilePath, target("d.exe"));
    EXPECT_EQ(Settings().StoredVaultCount(), 4);

    // A record cut before its vault count, as an earlier layout was stored.
    RegistryKey("sysdata").WriteBinary(saved.Bytes().data(), 700);
    restart();
    ASSERT_EQ(Vault().Count(), 4);
    scanFinding({"e.exe"});
    StartRemoval(scan, windows);
    stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), 5);
    EXPECT_EQ(stored->Record(1), first[0]);
    EXPECT_EQ(stored->Record(5).FilePath, target("e.exe"));
    Settings() = saved;
    SaveSettings();
}

// Guards against the vault list emptying without a word when the start sets
// an open records file aside.
TEST_F(Restarts, TheProgramSaysWhyTheVaultListStartsEmpty) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    ASSERT_TRUE(test::OpenToEveryone(VaultRecordsPath()));
    std::string told;
    Timer reader(50);
    reader.onTimer = [&] {
        HWND box = FindWindowA("#32770", "Tolvar Antivirus");
        if (!box || !IsWindowVisible(box)) return;
        char text[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // a message box's text
        told = text[0] ? text : "(shown)";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    {
        TForm10 splash{false};
        Program program{splash};
        program.mainForm().StopUpdateCheck();
        EXPECT_TRUE(test::PumpUntil([&] { return !told.empty(); }, 15000));
    }
    EXPECT_NE(told.find("records file could be changed by programs without administrator rights"),
              std::string::npos)
        << told;
    EXPECT_EQ(Vault().Count(), 0);
}

// Guards against a damaged records file being overwritten: it is read as far
// as it goes and kept, renamed with the date, when a new one is written.
TEST_F(Restarts, ADamagedRecordsFileIsKeptAsideWhenANewOneIsWritten) {
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 2);
    const std::string whole = content(VaultRecordsPath());
    const std::string damaged = whole.substr(0, 563 + 300);  // one record and part of another
    std::ofstream(VaultRecordsPath(), std::ios::binary | std::ios::trunc) << damaged;

    restart();
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("b.exe"));
    scanFinding({"c.exe"});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_EQ(fs::file_size(VaultRecordsPath()), 563000u);
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(VaultFolder())) {
        if (entry.path().filename().string().rfind("records.gav.damaged-", 0) != 0) continue;
        ++kept;
        EXPECT_EQ(content(entry.path().string()), damaged);
    }
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(test::StoredVault()->Record(2).FilePath, target("c.exe"));
}

// Guards against a junction or a link along a path redirecting the elevated
// removal's delete or the restore's write (CVE-2020-3350 in ClamAV's own
// quarantine).
TEST_F(Quarantine, AJunctionOrLinkOnTheWayTurnsAFileIntoNotRemoved) {
    fs::create_directories(path("target\\real"));
    const test::FolderLink linked(target("linked"), target("real"));
    ASSERT_TRUE(linked.made());
    std::ofstream(target("real\\a.exe"), std::ios::binary) << "not to be touched";
    std::ofstream(target("real\\b.exe"), std::ios::binary) << "infected:b.exe";
    script({"out " + test::Escaped(target("linked\\a.exe")) + ": Worm.a FOUND\\n",
            "out " + test::Escaped(target("real\\b.exe")) + ": Worm.b FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    StartRemoval(scan, windows);
    EXPECT_EQ(content(target("real\\a.exe")), "not to be touched");
    EXPECT_FALSE(fs::exists(target("real\\b.exe")));
    EXPECT_EQ(vaultFilesEndingWith("a.exe"), 0);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{1, 1}}));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, target("linked\\a.exe"));

    // A restore into a folder reached through the link is refused too.
    list.folder = target("linked");
    select(0);
    RestoreToFolder(list);
    EXPECT_FALSE(fs::exists(target("real\\b.exe")));
    EXPECT_EQ(Vault().Count(), 1);
    EXPECT_EQ(list.notices.size(), 1u);

    // And a link standing in the vault folder's place takes nothing.
    fs::remove_all(VaultFolder());
    const test::FolderLink vault(VaultFolder().substr(0, VaultFolder().size() - 1), target("real"));
    ASSERT_TRUE(vault.made());
    StartRemoval(scan, windows);
    EXPECT_EQ(windows.told,
              std::vector<std::string>{"The quarantine vault folder is missing or not a folder; "
                                       "nothing was removed."});
    EXPECT_EQ(content(target("real\\a.exe")), "not to be touched");
}

}  // namespace
}  // namespace tolvar
