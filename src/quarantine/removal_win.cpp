#include "quarantine/removal.h"

#include <windows.h>

#include <random>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/settings.h"
#include "history/scan_history.h"
#include "quarantine/file_transfer.h"
#include "quarantine/vault.h"
#include "quarantine/vault_naming.h"
#include "scan/process_snapshot.h"
#include "scan/scan_session_win.h"
#include "scan/scan_state.h"

namespace tolvar {

namespace {

bool PathTaken(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int RandomInt(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(Random());
}

// Rewrites a file that cannot be deleted to a single byte and moves it aside
// as "<n>.non", so the infection cannot run. True when the content is gone.
bool NeutraliseFile(const std::string& path) {
    {
        const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                            TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        const char byte = 0;
        WriteFile(file.get(), &byte, 1, &written, nullptr);
    }
    const std::size_t slash = path.find_last_of("\\:");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    MoveFileA(path.c_str(), (folder + std::to_string(RandomInt(0, 99999)) + ".non").c_str());
    return true;
}

}  // namespace

RemovalRun::RemovalRun(const InfectionTable& table, int items)
    : items_(table.begin(), table.begin() + std::clamp(items, 0, static_cast<int>(table.size()))),
      removedItems_(items_.size(), false),
      next_(static_cast<int>(items_.size())) {}

bool RemovalRun::RemoveNextItem() {
    if (next_ <= 0) return false;
    InfectionRecord& record = items_[next_ - 1];
    bool removed = false;
    try {
        removed = RemoveItem(record);
    } catch (const std::exception&) {
        removed = false;  // one item's failure never ends the run
    }
    removedItems_[next_ - 1] = removed;
    if (removed) ++removed_;
    --next_;
    return true;
}

bool RemovalRun::RemoveItem(InfectionRecord& record) {
    // A path the scanner could not name exactly is never acted upon.
    if (!IsRemovable(record)) return false;
    if (Vault().Count() >= static_cast<std::int32_t>(kVaultSlots)) return false;  // vault full
    const std::string vaultPath =
        ChooseVaultPath(VaultFolder(), FileNamePart(record.FilePath), &PathTaken, &RandomInt);
    if (vaultPath.empty()) return false;

    // A program started from the infected file would hold it open.
    try {
        KillInfectedProcess(record.FilePath);
    } catch (const std::exception&) {
    }

    // No copy, no delete: the file leaves its folder only once its copy in
    // the vault is whole.
    if (!CopyFileWhole(record.FilePath, vaultPath, Existing::Fail).empty()) return false;
    record.VaultPath = vaultPath;
    if (!Vault().IsInVault(record.FilePath)) Vault().Append(record);

    if (DeleteFileA(record.FilePath.c_str())) return true;
    return NeutraliseFile(record.FilePath);
}

std::vector<InfectionRecord> RemovalRun::NotRemoved() const {
    std::vector<InfectionRecord> left;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (!removedItems_[i]) {
            InfectionRecord record = items_[i];
            record.VaultPath.clear();
            left.push_back(record);
        }
    }
    return left;
}

void StartRemoval(ScanSession& scan, RemovalWindows& windows) {
    scan.StopScan();
    ReportParser& parser = scan.Parser();
    const int found = parser.InfectionCount();
    RemovalRun run(parser.Table(), parser.StoredInfections());

    try {
        TakeProcessSnapshot();
    } catch (const std::exception&) {
        // Without a snapshot no program is ended; the run goes on.
    }
    windows.RunRemoval(run);
    // The records reach the disk together with the count that says how many
    // are valid.
    Settings().SetVaultCount(Vault().Count());
    SaveVault();
    SaveSettings();

    // Detections past the table's end could not be handled at all.
    const int notRemoved = found - run.Removed();
    // What could not be removed stays listed for another try.
    scan.ShowRemovalOutcome(run.Removed(), run.NotRemoved());

    windows.ShowRemovalDone(run.Removed(), notRemoved);
    AddRemovals(run.Removed());
}

void RemoveCommand(ScanSession& scan, RemovalWindows& windows) {
    if (scan.Parser().InfectionCount() == 0) {
        scan.ShowStatus("No Infections Found");
        return;
    }
    if (ScanIsScanning()) {
        windows.AskToStopScan();
        return;
    }
    StartRemoval(scan, windows);
}

}  // namespace tolvar
