// The vault list's commands on real files: several rows at once, each
// record found again as the ones before it leave; delete from the vault,
// record first, with a copy that something holds open reported and kept;
// the automatic clean-up by the copies' creation times; restore and allow,
// with Debian's clamscan behind the scanner bridge judging the next scan;
// and a vault whose copies may not be run.

#include <gtest/gtest.h>

#include <windows.h>
// (apart, so that sorting keeps the order)
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/start_up.h"
#include "core/ascii_text.h"
#include "core/clock.h"
#include "core/folder_protection.h"
#include "core/folder_protection_win.h"
#include "core/folders.h"
#include "core/loopback_port_win.h"
#include "core/registry_win.h"
#include "core/wide_text_win.h"
#include "fake_clamd_support.h"
#include "framework/application_win.h"
#include "framework/bitmap_win.h"
#include "framework/font_win.h"
#include "framework/form_win.h"
#include "framework/gdi_handles_win.h"
#include "framework/list_box_win.h"
#include "quarantine/allow_list_win.h"
#include "quarantine/vault_clean_up.h"
#include "quarantine/vault_delete.h"
#include "quarantine_fixture.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "scanner_bridge_installed.h"
#include "test_mirror.h"
#include "ui/vault_list_win.h"
#include "updates/scan_databases.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::Quarantine;

// The records on the disk are the records in memory, in a whole file.
void ExpectStoredAsInMemory() {
    EXPECT_EQ(fs::file_size(VaultRecordsPath()), 563000u);
    const auto stored = test::StoredVault();
    ASSERT_EQ(stored->Count(), Vault().Count());
    for (int k = 1; k <= Vault().Count(); ++k)
        EXPECT_EQ(stored->Record(k), Vault().Record(k)) << k;
    EXPECT_EQ(Settings().StoredVaultCount(), Vault().Count());
}

// Guards against deleting more or other than the selected rows (a stale row
// number after the first one went), against a copy left behind, and
// against a records file written short or not at all.
TEST_F(Quarantine, DeletingTwoOfThreeRowsRemovesTheirRecordsAndCopiesOnly) {
    scanFinding({"a.exe", "b.exe", "c.exe"});
    StartRemoval(scan, windows);  // records: c, b, a
    list.ShowVaultRows(Vault());
    list.selectedRows = {0, 1};  // c and b

    list.answer = false;
    DeleteFromVault(list);
    EXPECT_EQ(list.questions,
              std::vector<std::string>{"Delete 2 file(s) from the vault for good?"});
    EXPECT_EQ(Vault().Count(), 3);
    EXPECT_TRUE(fs::exists(VaultFolder() + "c.exe"));

    list.answer = true;
    DeleteFromVault(list);
    EXPECT_TRUE(list.notices.empty()) << list.notices.front();
    EXPECT_FALSE(fs::exists(VaultFolder() + "c.exe"));
    EXPECT_FALSE(fs::exists(VaultFolder() + "b.exe"));
    EXPECT_EQ(content(VaultFolder() + "a.exe"), "infected:a.exe");
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("a.exe"));
    EXPECT_EQ(list.rows, std::vector<std::string>{"Worm.a.exe "});
    // Deleted from the vault is not restored.
    EXPECT_FALSE(fs::exists(target("b.exe")));
    EXPECT_FALSE(fs::exists(target("c.exe")));
    ExpectStoredAsInMemory();
}

// Guards against a record going while its copy stays (a vault file nobody
// can find again), and against a failure that is not told.
TEST_F(Quarantine, ACopyHeldOpenIsToldAndKeepsItsRecordUntilItCanGo) {
    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);  // records: b, a
    const std::string held = VaultFolder() + "b.exe";
    {
        // Another program reads it and lets nobody delete it meanwhile.
        const UniqueHandle reader(CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        list.ShowVaultRows(Vault());
        list.selectedRows = {0, 1};
        DeleteFromVault(list);
        ASSERT_EQ(list.notices.size(), 1u);
        EXPECT_NE(list.notices[0].find(held + " could not be deleted"), std::string::npos)
            << list.notices[0];
        EXPECT_NE(list.notices[0].find("it keeps its record"), std::string::npos);
        EXPECT_TRUE(fs::exists(held));
        EXPECT_FALSE(fs::exists(VaultFolder() + "a.exe"));
        ASSERT_EQ(Vault().Count(), 1);
        EXPECT_EQ(Vault().Record(1).VaultPath, held);
        ExpectStoredAsInMemory();
    }
    // Let go of, it can be deleted.
    list.selectedRows = {0};
    DeleteFromVault(list);
    EXPECT_EQ(list.notices.size(), 1u);
    EXPECT_FALSE(fs::exists(held));
    EXPECT_EQ(Vault().Count(), 0);
    ExpectStoredAsInMemory();
}

// Guards against a restore of several rows acting on a number that now
// names another record, and against one answer standing for every file.
TEST_F(Quarantine, RestoringSeveralRowsAsksBeforeEachReplaceAndRestoresTheRightFiles) {
    scanFinding({"a.exe", "b.exe", "c.exe", "d.exe"});
    StartRemoval(scan, windows);  // records: d, c, b, a
    std::ofstream(target("c.exe"), std::ios::binary) << "new c";
    std::ofstream(target("b.exe"), std::ios::binary) << "new b";
    list.ShowVaultRows(Vault());
    list.selectedRows = {0, 1, 2};  // d, c, b
    list.answers = {false, true};   // keep the new c, replace the new b
    RestoreToOriginal(list);
    EXPECT_EQ(list.questions.size(), 2u);
    EXPECT_EQ(content(target("d.exe")), "infected:d.exe");
    EXPECT_EQ(content(target("c.exe")), "new c");
    EXPECT_EQ(content(target("b.exe")), "infected:b.exe");
    EXPECT_FALSE(fs::exists(target("a.exe")));
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_EQ(Vault().Record(1).FilePath, target("c.exe"));
    EXPECT_EQ(Vault().Record(2).FilePath, target("a.exe"));
    EXPECT_TRUE(list.notices.empty());
    ExpectStoredAsInMemory();

    // Both that are left into one folder picked once.
    fs::create_directories(path("elsewhere"));
    list.folder = path("elsewhere");
    list.selectedRows = {0, 1};
    RestoreToFolder(list);
    EXPECT_EQ(content(path("elsewhere") + "\\c.exe"), "infected:c.exe");
    EXPECT_EQ(content(path("elsewhere") + "\\a.exe"), "infected:a.exe");
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_TRUE(fs::is_empty(VaultFolder()) ||
                (fs::exists(VaultRecordsPath()) && vaultFilesEndingWith(".exe") == 0));
    ExpectStoredAsInMemory();
}

void SetCreationTime(const std::string& file, double daysAgo) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(daysAgo * static_cast<double>(kTimeStepsPerDay));
    const FILETIME created{t.LowPart, t.HighPart};
    const UniqueHandle handle(CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(handle) << file;
    // The copy was written once, as it was made: both times say so.
    ASSERT_TRUE(SetFileTime(handle.get(), &created, nullptr, &created));
}

// The stored days as the registry holds them: set, or deleted for real.
void SetStoredDays(std::optional<std::uint32_t> days) {
    if (days) return StoreDeleteAfterDays(*days);
    const RegistryKey made(kVaultSubkey);  // made when missing
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kRegistryKey) + kVaultSubkey).c_str(),
                            0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key),
              ERROR_SUCCESS);
    RegDeleteValueA(key, kDeleteAfterDaysValue);
    RegCloseKey(key);
}

// Guards against the clean-up deleting a copy before its time (or all of
// them at 0), keeping one past it, or reading the wrong file's age.
TEST_F(Quarantine, TheCleanUpDeletesCopiesOlderThanTheStoredDaysOnly) {
    scanFinding({"old.exe", "young.exe"});
    StartRemoval(scan, windows);
    SetCreationTime(VaultFolder() + "old.exe", 91);
    SetCreationTime(VaultFolder() + "young.exe", 89);
    ASSERT_TRUE(CreationTimeOf(VaultFolder() + "old.exe"));

    SetStoredDays(0);  // for ever
    EXPECT_EQ(CleanUpVault(), 0);
    SetStoredDays(100);
    EXPECT_EQ(CleanUpVault(), 0);
    EXPECT_EQ(Vault().Count(), 2);

    SetStoredDays(std::nullopt);  // missing: 90
    EXPECT_EQ(LoadDeleteAfterDays(), 90u);
    EXPECT_EQ(CleanUpVault(), 1);
    EXPECT_FALSE(fs::exists(VaultFolder() + "old.exe"));
    EXPECT_EQ(content(VaultFolder() + "young.exe"), "infected:young.exe");
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("young.exe"));
    ExpectStoredAsInMemory();

    // A value of another type reads as the default too.
    RegistryKey(kVaultSubkey).WriteText("5", kDeleteAfterDaysValue);
    EXPECT_EQ(LoadDeleteAfterDays(), 90u);
    SetStoredDays(88);
    EXPECT_EQ(CleanUpVault(), 1);
    EXPECT_EQ(Vault().Count(), 0);
    SetStoredDays(std::nullopt);
}

// The vault list's first row as its draw handler draws it.
Bitmap DrawnVaultRow(const VaultList& vaultList, const UniqueFont& font, bool selected) {
    Bitmap bitmap(573, 16);
    BitmapCanvas canvas(bitmap);
    ScopedSelect select(canvas.dc(), font.get());
    vaultList.DrawRow(canvas.dc(), ListRow{0, RECT{0, 0, 573, 16}, selected, false});
    return bitmap;
}

// Whether any pixel in columns [left, right) differs from the background.
bool InkBetween(const Bitmap& row, int left, int right, COLORREF background) {
    for (int x = left; x < right; ++x)
        for (int y = 0; y < row.height(); ++y)
            if (row.pixel(x, y) != background) return true;
    return false;
}

// Guards against a selection the user cannot see (the rows a command will
// touch), and against a long path drawn over the vaulted date.
TEST_F(Quarantine, ARowShowsItsSelectionAndItsDateBesideAShortenedPath) {
    scanFinding({"a.exe"});
    StartRemoval(scan, windows);
    // Found deep down: a path longer than the row shows.
    InfectionRecord deep = Vault().Record(1);
    deep.FilePath = "C:\\" + std::string(90, 'p') + "\\a.exe";
    Vault().Remove(1);
    ASSERT_TRUE(Vault().Append(deep));
    Form owner("vault", 600, 100);
    ListBox& box = owner.add<ListBox>(0, 0, 573, 63, SelectionMode::Multiple, 16);
    VaultList vaultList(box, owner);
    const UniqueFont font = CreateFontFrom(FontSpec{});

    const Bitmap plain = DrawnVaultRow(vaultList, font, false);
    const Bitmap selected = DrawnVaultRow(vaultList, font, true);
    EXPECT_EQ(plain.pixel(2, 2), RGB(233, 233, 233));
    EXPECT_EQ(selected.pixel(2, 2), GetSysColor(COLOR_HIGHLIGHT));

    const std::string date = VaultedDateOf(Vault().Record(1).VaultPath);
    ASSERT_FALSE(date.empty());
    EXPECT_EQ(date, TodayAsShortDate());
    Bitmap measure(10, 10);
    BitmapCanvas canvas(measure);
    ScopedSelect select(canvas.dc(), font.get());
    const std::wstring wide = Utf8ToWide(date);
    SIZE size{};
    GetTextExtentPoint32W(canvas.dc(), wide.c_str(), static_cast<int>(wide.size()), &size);
    const int dateLeft = 573 - 8 - size.cx;
    EXPECT_TRUE(InkBetween(plain, dateLeft, 573, RGB(233, 233, 233)));
    EXPECT_TRUE(InkBetween(plain, 280, 300, RGB(233, 233, 233)));
    EXPECT_FALSE(InkBetween(plain, dateLeft - 6, dateLeft, RGB(233, 233, 233)));
}

// A key as the keyboard gives it, to the window with the focus, through the
// application's message loop, with Shift or Ctrl held or not.
void PressKey(int key, bool shift, bool control) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    BYTE before[256];
    std::copy(std::begin(state), std::end(state), std::begin(before));
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    const HWND target = GetFocus();
    ASSERT_NE(target, nullptr) << "no window of the thread has the focus";
    PostMessageA(target, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    PostMessageA(target, WM_KEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u));
    Application::instance().processMessages();
    SetKeyboardState(before);
}

// Guards against a list that takes one row only (the commands would touch
// one file of several the user meant), and against Ctrl+A doing nothing:
// the real list control, its keys and a Ctrl+click, then the command on
// what they selected.
TEST_F(Quarantine, TheListTakesRowsByShiftArrowCtrlAAndCtrlClickAndTheCommandsActOnThem) {
    scanFinding({"a.exe", "b.exe", "c.exe"});
    StartRemoval(scan, windows);  // records: c, b, a
    Form owner("vault", 600, 100);
    ListBox& box = owner.add<ListBox>(0, 0, 573, 63, SelectionMode::Multiple, 16);
    VaultList vaultList(box, owner);
    std::vector<std::string> asked;
    vaultList.messageBox = [&](const std::string& text, unsigned) {
        asked.push_back(text);
        return IDYES;
    };
    owner.show();
    vaultList.ShowVaultRows(Vault());
    SetFocus(box.handle());
    box.setItemIndex(0);
    PressKey(VK_DOWN, true, false);
    EXPECT_EQ(vaultList.SelectedRows(), (std::vector<int>{0, 1}));
    PressKey('A', false, true);
    EXPECT_EQ(vaultList.SelectedRows(), (std::vector<int>{0, 1, 2}));
    // Ctrl+click on the second row takes it out of the selection.
    SendMessageA(box.handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(40, 16 + 8));
    SendMessageA(box.handle(), WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(40, 16 + 8));
    EXPECT_EQ(vaultList.SelectedRows(), (std::vector<int>{0, 2}));

    vaultList.DeleteFromVault();
    EXPECT_EQ(asked, std::vector<std::string>{"Delete 2 file(s) from the vault for good?"});
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("b.exe"));
    EXPECT_EQ(box.count(), 1);
    owner.close();
}

// Guards against a clean-up that never runs unless a day passes in one run:
// a start deletes what is due before the list shows it.
TEST_F(Quarantine, AStartDeletesTheCopiesThatAreDue) {
    scanFinding({"old.exe", "young.exe"});
    StartRemoval(scan, windows);
    SetCreationTime(VaultFolder() + "old.exe", 91);
    SetStoredDays(std::nullopt);
    LoadProgramState(scan.Parser().MutableTable());
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, target("young.exe"));
    EXPECT_FALSE(fs::exists(VaultFolder() + "old.exe"));
    ExpectStoredAsInMemory();
}

constexpr const char* kEicar =
    "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

class AllowedScans : public Quarantine {
protected:
    AllowedScans() : daily_(Folders().DatabaseFolder + "daily.cvd") {
        const std::string database = test::ClamavTestFile("test-6.cvd");
        EXPECT_FALSE(database.empty()) << "test-6.cvd is missing; the build scripts fetch it";
        std::ofstream(daily_, std::ios::binary) << database;
    }
    ~AllowedScans() override {
        std::error_code ignored;
        fs::remove(daily_, ignored);
        fs::remove(Folders().DatabaseFolder + kAllowListFile, ignored);
    }

    std::vector<std::string> found() const {
        std::vector<std::string> listed;
        for (const InfectionRecord& row : view.rows)
            listed.push_back(FileNamePart(row.FilePath) + "|" + row.VirusName);
        std::sort(listed.begin(), listed.end());
        return listed;
    }

    std::string daily_;
};

// Guards against an allow entry that lets a file pass by its name or size
// alone (another content under the allowed name must still be found), one
// that ClamAV would not read (so the file is found again), and against
// allowing before the file is back.
TEST_F(AllowedScans, RestoreAndAllowLetsTheNextClamscanScanPassExactlyThatContent) {
    test::ScannerBridgeInstalled bridge;
    ASSERT_TRUE(bridge.installed());
    scan.chooseEngine = nullptr;  // clamscan
    std::ofstream(target("eicar.com"), std::ios::binary) << kEicar;
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    ASSERT_EQ(found(), std::vector<std::string>{"eicar.com|Eicar-Test-Signature "});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);
    ASSERT_FALSE(fs::exists(target("eicar.com")));

    int reloads = 0;
    list.ShowVaultRows(Vault());
    list.selectedRows = {0};
    RestoreAndAllow(list, Folders().DatabaseFolder, [&] { ++reloads; });
    EXPECT_TRUE(list.notices.empty()) << list.notices.front();
    EXPECT_EQ(content(target("eicar.com")), kEicar);
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(content(Folders().DatabaseFolder + kAllowListFile),
              "44d88612fea8a8f36de82e1278abb02f:68:eicar.com\n");

    // The same content under another name passes too; another detected
    // content under the allowed name is still found.
    std::ofstream(target("copy.txt"), std::ios::binary) << kEicar;
    fs::create_directories(path("target") + "\\other");
    fs::copy_file("Z:\\usr\\share\\clamav-testfiles\\clam.exe",
                  path("target") + "\\other\\eicar.com");
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(found(), std::vector<std::string>{"eicar.com|Clamav.Test.File-6 "});
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, path("target") + "\\other\\eicar.com");
}

// Guards against an allowed file that the program's own clamd, loaded
// before the allow list changed, goes on finding: the command has it reload,
// and it then reads the list from its database folder.
TEST_F(AllowedScans, AfterRestoreAndAllowTheOwnClamdReloadsAndPassesThatContent) {
    const std::string bridge = test::BesideTests("bin\\snr\\1\\9\\clamd.exe");
    if (!fs::exists(bridge)) GTEST_SKIP() << "no clamd bridge beside the tests";
    StoreKeepLoaded(true);
    ClamdDaemonOptions options;
    options.clamdExe = bridge;
    options.databaseFolder = Folders().DatabaseFolder;
    options.pollMs = 200;
    // Wine names no listener's owner; the one it leaves out is taken to be
    // this process's clamd.exe.
    options.listenerOwners = test::OwnersAsOwnClamdChild;
    ClamdDaemon daemon(options);
    daemon.Apply();
    const bool ready = test::PumpUntil(
        [&] {
            return daemon.Status().phase == DaemonPhase::Ready ||
                   daemon.Status().phase == DaemonPhase::Failed;
        },
        90000);
    StoreKeepLoaded(false);
    ASSERT_TRUE(ready) << daemon.Words().state;
    ASSERT_EQ(daemon.Status().phase, DaemonPhase::Ready) << daemon.Words().state;
    // Every scan here goes to the own clamd, never to a stand-in.
    int byClamd = 0;
    scan.chooseEngine = [&] {
        const ScanEngineChoice choice = daemon.ChooseEngine();
        EXPECT_TRUE(choice.clamd) << choice.name;
        byClamd += choice.clamd ? 1 : 0;
        return choice;
    };

    std::ofstream(target("eicar.com"), std::ios::binary) << kEicar;
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    ASSERT_EQ(found(), std::vector<std::string>{"eicar.com|Eicar-Test-Signature "});
    StartRemoval(scan, windows);
    ASSERT_EQ(Vault().Count(), 1);

    list.ShowVaultRows(Vault());
    list.selectedRows = {0};
    int reloadsAsked = 0;
    RestoreAndAllow(list, Folders().DatabaseFolder, [&] { ++reloadsAsked; });
    EXPECT_TRUE(list.notices.empty()) << list.notices.front();
    ASSERT_EQ(content(target("eicar.com")), kEicar);
    ASSERT_EQ(reloadsAsked, 1);
    // Loaded before the list changed, clamd still finds the file...
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    EXPECT_EQ(found(), std::vector<std::string>{"eicar.com|Eicar-Test-Signature "});
    // ...until the reload the command asked for, as the program wires it.
    daemon.Reload();

    // The reload loads the new engine beside the old one and then swaps:
    // scans until the one it gives passes the file.
    bool passed = false;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (!passed && GetTickCount64() < deadline) {
        scan.StartOrResumeScan();
        ASSERT_TRUE(waitIdle(120000));
        ASSERT_EQ(view.status.back(), "Scanning Complete");
        passed = found().empty();
        if (!passed) test::PumpUntil([] { return false; }, 1000);
    }
    EXPECT_TRUE(passed) << "clamd still finds the allowed file after its reload";
    // A list changes no version the daemon reports: the reload is still
    // taken as done in about twice the first load's time, not after the
    // three minutes an update may take (the state would say "loading" all
    // that time, and a reload asked meanwhile would wait for it).
    EXPECT_TRUE(test::PumpUntil([&] { return !daemon.Status().reloading; }, 60000))
        << daemon.Words().state;

    fs::create_directories(path("target") + "\\other");
    fs::copy_file("Z:\\usr\\share\\clamav-testfiles\\clam.exe",
                  path("target") + "\\other\\eicar.com");
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    EXPECT_EQ(found(), std::vector<std::string>{"eicar.com|Clamav.Test.File-6 "});
    EXPECT_GE(byClamd, 4);
    daemon.ShutDown();
}

// Guards against a vault whose copies (an .exe keeps its name there) run
// with a double click, and against a list that lets others change it. Wine
// keeps no access list on a Unix file system (it shows one made from the
// file's permissions), so the list is read back from the security
// descriptor the program gives the system for the folder.
TEST_F(Quarantine, TheVaultDeniesRunningItsCopiesToEveryone) {
    const std::optional<SecurityView> vault = ProtectedFolderList(FolderUse::Vault);
    ASSERT_TRUE(vault);
    EXPECT_TRUE(DeniesRunningFiles(*vault));
    EXPECT_EQ(vault->owner, kAdministratorsSid);
    EXPECT_FALSE(OthersCanChange(*vault, {kAdministratorsSid, kLocalSystemSid}));
    // The denial reaches the files only: the folder stays open to be listed.
    ASSERT_FALSE(vault->entries.empty());
    EXPECT_FALSE(vault->entries.front().allows);
    EXPECT_TRUE(vault->entries.front().inheritOnly);

    const std::optional<SecurityView> data = ProtectedFolderList(FolderUse::Data);
    ASSERT_TRUE(data);
    EXPECT_FALSE(DeniesRunningFiles(*data));

    // The vault folder made by the start is closed to others as before.
    const std::optional<SecurityView> made = FolderSecurity(VaultFolder());
    ASSERT_TRUE(made);
    EXPECT_FALSE(OthersCanChange(*made, TrustedWriters(made->owner, CurrentUserSid())));
}

}  // namespace
}  // namespace tolvar
