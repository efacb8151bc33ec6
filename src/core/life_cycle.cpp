#include "core/life_cycle.h"

#include <windows.h>

#include <shlobj.h>

#include <chrono>

#include "core/date_serial.h"
#include "core/folders.h"
#include "core/registry.h"
#include "core/settings.h"
#include "framework/app_error.h"
#include "history/scan_history.h"
#include "quarantine/vault.h"
#include "scan/scan_session.h"
#include "scan/scan_state.h"
#include "ui/main_form.h"

namespace tolvar {

ProgramFolders& Folders() {
    static ProgramFolders folders;
    return folders;
}

std::string ExecutableFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw AppError("Cannot find the program's own folder");
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    // The fully expanded form: no 8.3 names or relative parts.
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n > 0 && n < sizeof full) path.assign(full, n);
    const std::size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

bool IsNewWindowsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&info)) return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return info.dwMajorVersion >= 6;
}

namespace {

std::string WithBackslash(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

// The roaming application-data folder + "Mirebrook\"; "\Mirebrook\" when
// the shell cannot tell.
std::string DefaultDataFolder() {
    char appData[MAX_PATH] = "";
    std::string base;
    if (SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE)) base = appData;
    return WithBackslash(base) + "Mirebrook\\";
}

// The data folder and its two subfolders must exist: every quarantine copy,
// the scan dump and the databases go there.
void MakeDataFolders() {
    for (const std::string& folder :
         {Folders().DataFolder, Folders().DatabaseFolder, Folders().DataFolder + "virus_vault\\"}) {
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    }
}

}  // namespace

void StartUp(TForm1& form) {
    form.CurrentPage = 1;
    form.ScanView = 1;
    form.SelectedPage = 1;
    ScanState = "idle";
    Statistics() = ScanStatistics::Defaults();

    Folders().ProgramFolder = ExecutableFolder();
    Folders().DataFolder = DefaultDataFolder();
    try {
        RegistryKey key("appdatapath");
        if (!DataFolderFromStored(key.ReadText(), Folders().DataFolder)) {
            key.WriteText(Folders().DataFolder);
        }
    } catch (const AppError&) {
        // The default data folder stands.
    }
    Folders().DatabaseFolder = Folders().DataFolder + "db\\";
    MakeDataFolders();

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
    for (int k = 1; k <= Vault().Count(); ++k) form.edtVirusDB.addItem(std::to_string(k));

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

void SeedRandom() {
    Random().seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

}  // namespace tolvar
