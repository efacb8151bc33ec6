#include "app/start_up.h"

#include <cstdint>
#include <optional>

#include "core/app_error.h"
#include "core/clock.h"
#include "core/date_serial.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "quarantine/vault.h"
#include "quarantine/vault_clean_up.h"
#include "scan/scan_session_win.h"
#include "scan/scan_state.h"
#include "ui/main_form_win.h"

namespace tolvar {

bool LoadProgramState(InfectionTable& scanTable) {
    ScanState = scan_state::kIdle;
    Statistics() = ScanStatistics::Defaults();

    FixFolders();

    // As a new process has it: what is not stored stays zero.
    Settings() = SettingsRecord{};
    bool firstStart = false;
    // The vault's count is taken from the settings record only when the
    // record was read whole: a missing value (a registry cleaner, Windows
    // set up again with the data folder kept) or a short one leaves the
    // records file to tell.
    std::optional<std::int32_t> storedVaultCount;
    try {
        const std::optional<std::size_t> stored = RegistryKey("sysdata").ReadBinary(
            Settings().MutableBytes().data(), SettingsRecord::kSize);
        firstStart = !stored;
        if (stored == SettingsRecord::kSize) storedVaultCount = Settings().StoredVaultCount();
    } catch (const AppError&) {
        // The zero defaults stand.
    }
    LoadScanHistory(scanTable);
    // Makes the vault folder safe and reads its records; a records file it
    // cannot read or trust is kept, never overwritten.
    LoadVault(storedVaultCount);
    // Copies older than the user keeps them go before the list shows them.
    CleanUpVault();

    const double today = TodaySerial();
    if (NeedsStaleUpdateReset(today, Settings().LastUpdateDate())) {
        ApplyStaleUpdateReset(Settings(), today);
        // A record that cannot be stored (a key the program may not write)
        // must not end the start before the skin: the user hears why, and
        // the reset holds in memory for this run.
        try {
            SaveSettings();
        } catch (const std::exception&) {
            if (Application* application = Application::current()) {
                application->reportException(std::current_exception());
            }
        }
    }
    return firstStart;
}

bool StartUp(TForm1& mainForm, ScanSession& scan) {
    const bool firstStart = LoadProgramState(scan.Parser().MutableTable());
    mainForm.ShowStartPage();
    return firstStart;
}

void ShutDown(ScanSession& scan, Skin& skin) {
    // Nothing may stop the program from ending.
    try {
        scan.StopScan();
    } catch (const std::exception&) {
    }
    try {
        // A paused scan is not recorded, but its scanner must not outlive us.
        scan.Abandon();
    } catch (const std::exception&) {
    }
    try {
        skin.Release();
    } catch (const std::exception&) {
    }
}

}  // namespace tolvar
