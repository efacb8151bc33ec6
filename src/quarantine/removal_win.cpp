#include "quarantine/removal.h"

#include <windows.h>

#include <random>

#include "core/app_error.h"
#include "core/settings.h"
#include "history/scan_history.h"
#include "quarantine/file_transfer.h"
#include "quarantine/vault.h"
#include "quarantine/vault_naming.h"
#include "scan/process_snapshot.h"
#include "scan/scan_state.h"
#include "ui/main_form_win.h"
#include "ui/program_windows_win.h"

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
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const char byte = 0;
    WriteFile(h, &byte, 1, &written, nullptr);
    CloseHandle(h);
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

void StartRemoval(TForm1& form) {
    form.scan().StopScan();
    ReportParser& parser = form.scan().Parser();
    const int found = parser.InfectionCount();
    RemovalRun run(parser.Table(), parser.StoredInfections());

    try {
        TakeProcessSnapshot();
    } catch (const std::exception&) {
        // Without a snapshot no program is ended; the run goes on.
    }
    if (Windows().Form7) {
        Windows().Form7->Run(run);
    } else {
        while (run.RemoveNextItem()) {
        }
    }
    // The records reach the disk together with the count that says how many
    // are valid.
    Settings().SetVaultCount(Vault().Count());
    SaveVault();
    SaveSettings();

    const std::vector<InfectionRecord> left = run.NotRemoved();
    // Detections past the table's end could not be handled at all.
    const int notRemoved = found - run.Removed();

    form.Label10.setCaption(std::to_string(run.Removed()) + " Infections Removed");
    form.Label40.setCaption("Items Scanned: 0");
    form.Label11.setCaption("0%");
    form.skin().SetProgressValue(0);
    form.edtInfections.clear();
    parser.ClearInfections();
    // What could not be removed stays listed for another try.
    for (const InfectionRecord& record : left)
        parser.AddInfection(record);
    form.Label12.setCaption("Infections Found: " + std::to_string(left.size()));
    form.skin().PaintProgressBar(1);

    if (Windows().Form6) Windows().Form6->ShowResult(run.Removed(), notRemoved);
    AddRemovals(run.Removed());
}

void RemoveCommand(TForm1& form) {
    if (form.scan().Parser().InfectionCount() == 0) {
        form.Label10.setCaption("No Infections Found");
        return;
    }
    if (ScanState == "scanning") {
        if (Windows().Form3) Windows().Form3->showModal();
        return;
    }
    StartRemoval(form);
}

}  // namespace tolvar
