// The Protection Settings window: it shows the engine in use and its state
// as the daemon knows them, kept current while open; OK stores the check box
// and the engine setting and applies them, and refuses an address it
// cannot read without storing anything.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/folders.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "fake_clamd_support.h"
#include "quarantine/allow_list_win.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "scan/excluded_folders.h"
#include "scan_fixture.h"
#include "test_support.h"
#include "ui/protection_settings_window_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

std::string StoredEngine() {
    return RegistryKey(kEngineSubkey).ReadText();
}

std::optional<std::uint32_t> StoredKeepLoaded() {
    return RegistryKey(kEngineSubkey).ReadNamedDword(kKeepLoadedValue);
}

class ProtectionSettings : public testing::Test {
protected:
    ProtectionSettings() : daemon(Options()), window(daemon, realtime) {
        StoreEngineSetting("");
        StoreKeepLoaded(true);
        // As the program wires them.
        daemon.onChange = [this] {
            if (window.visible()) window.RefreshState();
        };
    }
    ~ProtectionSettings() override {
        daemon.ShutDown();
        StoreEngineSetting("");
        StoreKeepLoaded(false);
    }

    static ClamdDaemonOptions Options() {
        ClamdDaemonOptions options;
        // Where no clamd.exe is: the program's own engine never starts.
        options.clamdExe = test::BesideTests("no-clamd.exe");
        options.pollMs = 100;
        return options;
    }

    ClamdDaemon daemon;
    RealtimeProtection realtime{daemon};
    ProtectionSettingsWindow window;
};

TEST_F(ProtectionSettings, ShowsTheStoredSettingsAndTheEngineInWords) {
    StoreEngineSetting("clamd-typo");
    StoreKeepLoaded(false);
    daemon.Apply();
    window.ShowSettings();
    ASSERT_TRUE(IsWindowVisible(window.handle()));
    EXPECT_FALSE(window.KeepLoaded.checked());
    // The unreadable text is shown for the user to correct, and said so.
    EXPECT_EQ(window.AddressEdit.text(), "clamd-typo");
    ASSERT_TRUE(test::PumpUntil(
        [&] { return window.StateText.caption().find(kNotKeptLoaded) != std::string::npos; }));
    EXPECT_EQ(window.EngineText.caption(), "clamscan");
    EXPECT_EQ(window.StateText.caption(),
              std::string("not available: clamscan is used (") + kNotKeptLoaded + ")");
    EXPECT_NE(window.NoteText.caption().find("\"clamd-typo\""), std::string::npos);
    // Every control lies inside the window.
    RECT client;
    GetClientRect(window.handle(), &client);
    for (const auto& child : window.children()) {
        const Bounds& b = child->bounds();
        EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right() <= client.right &&
                    b.bottom() <= client.bottom);
    }
    window.close();
}

// A typing error must never be stored: the next start would read it as
// automatic and the user would not know why the office's clamd is unused.
TEST_F(ProtectionSettings, OkRefusesAnAddressItCannotReadAndStoresNothing) {
    StoreEngineSetting("10.0.0.5:3310");
    daemon.Apply();
    window.ShowSettings();
    window.AddressEdit.setText("10.0.0.5:331000");
    window.KeepLoaded.setChecked(false);
    window.OkButton.click();
    EXPECT_TRUE(window.visible());
    EXPECT_NE(window.AddressProblem.caption().find("HOST:PORT"), std::string::npos);
    EXPECT_EQ(StoredEngine(), "10.0.0.5:3310");
    EXPECT_EQ(StoredKeepLoaded(), 1u);
    EXPECT_EQ(window.keyboard().focused(), &window.AddressEdit);
    window.close();
}

// What OK stores is what the next start reads, and it takes effect at
// once: the daemon asks the new address, not the old setting.
TEST_F(ProtectionSettings, OkStoresBothAndAppliesThem) {
    daemon.Apply();
    window.ShowSettings();
    window.AddressEdit.setText("  127.0.0.1:1 ");
    window.KeepLoaded.setChecked(false);
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(StoredEngine(), "127.0.0.1:1");
    EXPECT_EQ(StoredKeepLoaded(), 0u);
    EXPECT_EQ(daemon.Setting().mode, EngineMode::Address);
    ASSERT_TRUE(test::PumpUntil([&] { return daemon.Remote().asked; }));
    EXPECT_FALSE(daemon.ChooseEngine().clamd);

    // Emptied: automatic again.
    window.ShowSettings();
    EXPECT_EQ(window.AddressEdit.text(), "127.0.0.1:1");
    window.AddressEdit.setText("");
    window.KeepLoaded.setChecked(true);
    window.OkButton.click();
    EXPECT_EQ(StoredEngine(), "");
    EXPECT_EQ(StoredKeepLoaded(), 1u);
    EXPECT_EQ(daemon.Setting().mode, EngineMode::Automatic);
}

TEST_F(ProtectionSettings, CancelStoresNothing) {
    daemon.Apply();
    window.ShowSettings();
    window.AddressEdit.setText("clamscan");
    window.CancelButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(StoredEngine(), "");
}

// Guards against a window that shows "loading" for ever: the state follows
// the daemon while the window is open.
TEST_F(ProtectionSettings, TheStateFollowsTheEngineWhileOpen) {
    const std::string record =
        (std::filesystem::temp_directory_path() / "tolvar-protection-clamd.txt").string();
    std::filesystem::remove(record);
    SetEnvironmentVariableA("TOLVAR_FAKE_CLAMD_RECORD", record.c_str());
    ClamdDaemonOptions options = Options();
    options.clamdExe = test::BesideTests("fake_clamd.exe");
    options.listenerOwners = test::OwnersAsRecorded(record);
    // clamd starts only with a database to load.
    const test::MainDatabase database;
    ClamdDaemon liveDaemon(options);
    RealtimeProtection liveRealtime(liveDaemon);
    ProtectionSettingsWindow liveWindow(liveDaemon, liveRealtime);
    liveDaemon.onChange = [&] {
        if (liveWindow.visible()) liveWindow.RefreshState();
    };
    liveWindow.ShowSettings();
    liveDaemon.Apply();
    EXPECT_EQ(liveWindow.StateText.caption().rfind("loading signatures", 0), 0u)
        << liveWindow.StateText.caption();
    ASSERT_TRUE(test::PumpUntil(
        [&] { return liveWindow.StateText.caption() == "ClamAV 1.4.6 daemon, ready"; }, 15000))
        << liveWindow.StateText.caption();
    EXPECT_EQ(liveWindow.EngineText.caption(), "ClamAV 1.4.6 daemon (the program's own)");
    liveWindow.close();
    liveDaemon.ShutDown();
    SetEnvironmentVariableA("TOLVAR_FAKE_CLAMD_RECORD", nullptr);
    std::filesystem::remove(record);
}

// The exclusions' column, on the real stores: the registry key "exclude"
// and the lists in the database folder.
class ProtectionExclusions : public ProtectionSettings {
protected:
    ProtectionExclusions() {
        StoreExcludedFolders({});
        SetIgnoredNames(db, {});
        window.Exclusions.onListsChanged = [this] { ++reloads; };
    }
    ~ProtectionExclusions() override {
        StoreExcludedFolders({});
        SetIgnoredNames(db, {});
        std::error_code ignored;
        fs::remove(db + "local.fp", ignored);
        fs::remove(db + "local.ign2", ignored);
        fs::remove(sample, ignored);
    }

    const std::string db = Folders().DatabaseFolder;
    const std::string sample = (fs::temp_directory_path() / "tolvar-allowed.pdf").string();
    int reloads = 0;
};

// Guards against a list the window does not show as stored, a line that
// names no folder stored (or stored beside the good ones without a word),
// a field stored again when the user did not touch it, and a changed list
// that clamd is never told to reload.
TEST_F(ProtectionExclusions, TheListsAreShownStoredAndAJunkLineIsRefusedInWords) {
    StoreExcludedFolders({"C:\\Builds"});
    SetIgnoredNames(db, {"Old.Name"});
    std::ofstream(sample, std::ios::binary) << "a report the user trusts";
    AllowFile(db, AllowedFileOf(sample, "report.pdf"));

    window.ShowSettings();
    ExclusionSettings& x = window.Exclusions;
    EXPECT_EQ(x.FoldersEdit.text().find("C:\\Builds"), 0u) << x.FoldersEdit.text();
    EXPECT_EQ(x.IgnoredEdit.text().find("Old.Name"), 0u) << x.IgnoredEdit.text();
    ASSERT_EQ(x.AllowedList.count(), 1);
    EXPECT_EQ(x.AllowedList.item(0), "report.pdf");
    EXPECT_TRUE(x.TakeBackButton.enabled());

    x.FoldersEdit.setText("C:\\Builds\r\nmy files\r\nd:/media/");
    x.IgnoredEdit.setText("Old.Name\r\nNew.Name");
    window.OkButton.click();
    EXPECT_TRUE(window.visible());
    EXPECT_NE(x.Problem.caption().find("\"my files\""), std::string::npos) << x.Problem.caption();
    EXPECT_EQ(RegistryKey(kExcludeSubkey).ReadText(), "C:\\Builds");
    EXPECT_EQ(IgnoredNames(db), (std::vector<std::string>{"Old.Name"}));
    EXPECT_EQ(reloads, 0);

    x.FoldersEdit.setText("C:\\Builds\r\n  d:/media/ \r\nc:\\builds\\");
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(LoadExcludedFolders().Folders(),
              (std::vector<std::string>{"C:\\Builds", "D:\\media"}));
    EXPECT_EQ(IgnoredNames(db), (std::vector<std::string>{"Old.Name", "New.Name"}));
    EXPECT_EQ(reloads, 1);

    // Shown as stored; OK with nothing changed stores nothing again.
    window.ShowSettings();
    EXPECT_EQ(x.FoldersEdit.text().find("C:\\Builds"), 0u);
    EXPECT_NE(x.FoldersEdit.text().find("D:\\media"), std::string::npos);
    window.OkButton.click();
    EXPECT_EQ(reloads, 1);
}

// Guards against "Take Back" that leaves the file allowed, leaves an empty
// allow list behind (clamscan then refuses every database), or that clamd
// is not told of.
TEST_F(ProtectionExclusions, TakeBackRemovesTheAllowedFileAtOnce) {
    std::ofstream(sample, std::ios::binary) << "a report the user trusts";
    AllowFile(db, AllowedFileOf(sample, "report.pdf"));
    window.ShowSettings();
    ExclusionSettings& x = window.Exclusions;
    ASSERT_EQ(x.AllowedList.count(), 1);
    x.TakeBackButton.click();
    EXPECT_TRUE(AllowedFiles(db).empty());
    EXPECT_FALSE(fs::exists(db + "local.fp"));
    EXPECT_EQ(x.AllowedList.count(), 0);
    EXPECT_FALSE(x.TakeBackButton.enabled());
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(x.Problem.caption(), "");
    window.CancelButton.click();
}

// Guards against a stored value of the wrong type (written by hand or by
// another tool) being lost because the window showed it as empty, and
// against it excluding anything meanwhile.
TEST_F(ProtectionExclusions, AValueOfAnotherTypeIsReadAsNoFolderAndKept) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kRegistryKey) + kExcludeSubkey).c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    EXPECT_TRUE(LoadExcludedFolders().empty());
    window.ShowSettings();
    EXPECT_EQ(window.Exclusions.FoldersEdit.text(), "");
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(RegistryKey(kExcludeSubkey).ReadNamedDword(""), 7u);
}

// Guards against a list that could not be stored told as stored, or a
// half-stored OK told as nothing: the window stays open and says what was
// stored and what was not. Another program holds the ignore list open
// without sharing it (an editor, a backup), so it cannot be replaced.
TEST_F(ProtectionExclusions, AListThatCannotBeStoredIsSaidInWordsAndTheWindowStays) {
    SetIgnoredNames(db, {"Old.Name"});
    window.ShowSettings();
    ExclusionSettings& x = window.Exclusions;
    UniqueHandle held(CreateFileA((db + "local.ign2").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    x.FoldersEdit.setText("C:\\Builds");
    x.IgnoredEdit.setText("Old.Name\r\nNew.Name");
    window.OkButton.click();
    EXPECT_TRUE(window.visible());
    EXPECT_NE(x.Problem.caption().find("could not be stored"), std::string::npos)
        << x.Problem.caption();
    EXPECT_NE(x.Problem.caption().find("The excluded folders were stored."), std::string::npos)
        << x.Problem.caption();
    EXPECT_EQ(LoadExcludedFolders().Folders(), (std::vector<std::string>{"C:\\Builds"}));
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(StoredEngine(), "");

    // Let go, OK stores the rest.
    held.reset();
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(IgnoredNames(db), (std::vector<std::string>{"Old.Name", "New.Name"}));
    EXPECT_EQ(reloads, 1);
}

}  // namespace
}  // namespace tolvar
