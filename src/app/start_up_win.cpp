#include "app/start_up.h"

#include "core/app_error.h"
#include "core/clock.h"
#include "core/date_serial.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "history/scan_history.h"
#include "quarantine/vault.h"
#include "scan/scan_session_win.h"
#include "scan/scan_state.h"
#include "ui/main_form_win.h"

namespace tolvar {

void StartUp(TForm1& form) {
    form.CurrentPage = 1;
    form.ScanView = 1;
    form.SelectedPage = 1;
    ScanState = "idle";
    Statistics() = ScanStatistics::Defaults();

    FixFolders();

    try {
        RegistryKey("sysdata").ReadBinary(Settings().MutableBytes().data(), SettingsRecord::kSize);
    } catch (const AppError&) {
        // The zero defaults stand.
    }
    LoadScanHistory(form.scan().Parser().MutableTable());
    try {
        LoadVault();
    } catch (const AppError&) {
        // An unreadable records file leaves the vault list empty; the copies
        // stay in the vault folder.
        Vault().SetCount(0);
    }

    const double today = TodaySerial();
    if (NeedsStaleUpdateReset(today, Settings().LastUpdateDate())) {
        ApplyStaleUpdateReset(Settings(), today);
        SaveSettings();
    }

    form.edtVirusDB.clear();
    for (int k = 1; k <= Vault().Count(); ++k)
        form.edtVirusDB.addItem(std::to_string(k));

    form.skin().LoadSkin(Folders().ProgramFolder);
    form.ShowPage();
}

void ShutDown(TForm1& form) {
    // Nothing may stop the program from ending.
    try {
        form.scan().StopScan();
    } catch (const std::exception&) {
    }
    try {
        // A paused scan is not recorded, but its scanner must not outlive us.
        form.scan().Abandon();
    } catch (const std::exception&) {
    }
    try {
        form.skin().Release();
    } catch (const std::exception&) {
    }
}

}  // namespace tolvar
