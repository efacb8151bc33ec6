// The vault's group in the Protection Settings window: the days the vault
// keeps its copies, shown as stored and refused with a word when OK cannot
// store them as a start would read them back.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/registry_win.h"
#include "fake_clamd_support.h"
#include "quarantine/vault_clean_up.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "ui/protection_settings_window_win.h"

namespace tolvar {
namespace {

std::optional<std::uint32_t> StoredDays() {
    return RegistryKey(kVaultSubkey).ReadNamedDword(kDeleteAfterDaysValue);
}

class VaultDaysSetting : public testing::Test {
protected:
    VaultDaysSetting() : daemon(Options()), window(daemon, realtime) {
        StoreEngineSetting("");
        StoreDeleteAfterDays(30);
    }
    ~VaultDaysSetting() override {
        daemon.ShutDown();
        StoreEngineSetting("");
        StoreDeleteAfterDays(kDefaultDeleteAfterDays);
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

// Guards against a number the start would read back as another (a sign, a
// fraction, an overflow) being stored, and against OK storing the other
// settings of the window while it refuses the days.
TEST_F(VaultDaysSetting, OkRefusesDaysItCannotStoreAndStoresNothing) {
    window.ShowSettings();
    EXPECT_EQ(window.VaultDaysEdit.text(), "30");
    EXPECT_EQ(window.VaultDaysProblem.caption(), "");
    for (const char* bad : {"-1", "36501", "ninety", ""}) {
        window.VaultDaysEdit.setText(bad);
        window.AddressEdit.setText("clamscan");
        window.OkButton.click();
        EXPECT_TRUE(window.visible()) << bad;
        EXPECT_NE(window.VaultDaysProblem.caption().find("from 0 to 36500"), std::string::npos);
        EXPECT_EQ(window.keyboard().focused(), &window.VaultDaysEdit);
        EXPECT_EQ(StoredDays(), 30u);
        EXPECT_EQ(RegistryKey(kEngineSubkey).ReadText(), "");
    }
    window.VaultDaysEdit.setText(" 0 ");
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    EXPECT_EQ(StoredDays(), 0u);
    EXPECT_EQ(LoadDeleteAfterDays(), 0u);

    // Opened again, it shows what was stored, and no word from before.
    window.ShowSettings();
    EXPECT_EQ(window.VaultDaysEdit.text(), "0");
    EXPECT_EQ(window.VaultDaysProblem.caption(), "");
    window.close();
}

}  // namespace
}  // namespace tolvar
