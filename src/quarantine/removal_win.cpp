#include "quarantine/removal.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include "core/handles_win.h"
#include "core/named_file_win.h"
#include "core/settings.h"
#include "framework/thread_win.h"
#include "history/scan_history.h"
#include "quarantine/file_transfer_win.h"
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
        const NamedFile file = OpenNamedFile(path, GENERIC_WRITE, 0);
        if (!file.handle) return false;
        DWORD written = 0;
        const char byte = 0;
        if (!SetEndOfFile(file.handle.get()) ||
            !WriteFile(file.handle.get(), &byte, 1, &written, nullptr)) {
            return false;
        }
    }
    MoveFileA(path.c_str(),
              (FolderOf(path) + std::to_string(RandomInt(0, 99999)) + ".non").c_str());
    return true;
}

}  // namespace

// One item on its way into the vault. The worker fills in what the copy
// did; the UI thread reads it only after the hand-over.
struct RemovalRun::Item {
    InfectionRecord record;  // with the VaultPath its copy gets
    UniqueHandle source;     // the infected file, opened as named
    bool copied = false;
    CopyResult copy;
    std::function<void()> finished;
};

RemovalRun::RemovalRun(const InfectionTable& table, int items)
    : copyWrites(SystemWrites()),
      items_(table.begin(), table.begin() + std::clamp(items, 0, static_cast<int>(table.size()))),
      removedItems_(items_.size(), false),
      next_(static_cast<int>(items_.size())) {}

RemovalRun::~RemovalRun() {
    if (item_) item_->finished = nullptr;
    WaitForItemUnderWay();
}

bool RemovalRun::StartNextItem(std::function<void()> finished) {
    if (next_ <= 0 || Stopped() || item_) return false;
    WaitForItemUnderWay();
    item_ = std::make_unique<Item>();
    item_->record = items_[static_cast<std::size_t>(next_ - 1)];
    item_->finished = std::move(finished);
    bool started = false;
    try {
        if (PrepareItem(*item_)) {
            worker_ = std::make_unique<Thread>([this](Thread& self) {
                CopyItem(*item_);
                self.synchronize([this] { FinishItem(); });
            });
            worker_->start();
            started = true;
        }
    } catch (const std::exception&) {
        worker_.reset();  // one item's failure never ends the run
    }
    if (!started) FinishItem();
    return true;
}

bool RemovalRun::RemoveNextItem() {
    if (!StartNextItem(nullptr)) return false;
    WaitForItemUnderWay();
    return true;
}

// On the UI thread, before the copy: the name in the vault, and the end of
// a program started from the file (it would hold the file open).
bool RemovalRun::PrepareItem(Item& item) {
    // A path the scanner could not name exactly is never acted upon.
    if (!IsRemovable(item.record)) return false;
    if (Vault().Count() >= static_cast<std::int32_t>(kVaultSlots)) {
        stopReason_ = "the vault is full";
        return false;
    }
    item.record.VaultPath =
        ChooseVaultPath(VaultFolder(), FileNamePart(item.record.FilePath), &PathTaken, &RandomInt);
    if (item.record.VaultPath.empty()) return false;
    try {
        KillInfectedProcess(item.record.FilePath);
    } catch (const std::exception&) {
    }
    return true;
}

// On the worker: the file is opened as named and copied whole into the
// vault, under a name no file there has.
void RemovalRun::CopyItem(Item& item) const {
    NamedFile source = OpenNamedFile(
        item.record.FilePath, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ);
    if (!source.handle) return;
    item.source = std::move(source.handle);
    item.copy = CopyToFile(item.source.get(), item.record.FilePath, item.record.VaultPath,
                           Existing::Fail, copyWrites);
    item.copied = item.copy.failure.empty();
}

// The copy is whole: its record reaches the disk before the file goes.
bool RemovalRun::KeepAndDelete(Item& item) {
    auto kept = std::make_unique<VaultTable>(Vault());
    bool stored = kept->Append(item.record);
    if (stored) {
        try {
            CommitVault(*kept);
        } catch (const std::exception&) {
            stored = false;
            stopReason_ = "the vault's records could not be saved";
        }
    }
    if (!stored) {
        // The file stays where it is, so its copy is not needed.
        DeleteFileA(item.record.VaultPath.c_str());
        return false;
    }
    if (DeleteThroughHandle(item.source.get())) return true;
    item.source.reset();
    return NeutraliseFile(item.record.FilePath);
}

void RemovalRun::FinishItem() {
    Item& item = *item_;
    bool removed = false;
    try {
        if (item.copied) {
            removed = KeepAndDelete(item);
        } else if (item.copy.DiskFull()) {
            stopReason_ = "the vault's disk is full";
        }
    } catch (const std::exception&) {
        removed = false;
    }
    removedItems_[static_cast<std::size_t>(next_ - 1)] = removed;
    if (removed) ++removed_;
    --next_;
    std::function<void()> finished = std::move(item.finished);
    // Closing the file's handle is what deletes it.
    item_.reset();
    if (finished) finished();
}

void RemovalRun::WaitForItemUnderWay() {
    if (!worker_) return;
    worker_->waitFor();
    worker_.reset();
    // A hand-over that could not run (the program was closing) ends here.
    if (item_) FinishItem();
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
    windows.ClosePrompt();
    const std::string unusable = VaultUnusableReason();
    if (!unusable.empty()) {
        windows.TellNothingRemoved(unusable);
        return;
    }
    scan.StopScan();
    ReportParser& parser = scan.Parser();
    const int found = parser.InfectionCount();
    RemovalRun run(parser.Table(), parser.StoredInfections());

    try {
        TakeProcessSnapshot();
    } catch (const std::exception&) {
        // Without a snapshot no program is ended; the run goes on.
    }
    // Each record reached the disk with its item.
    windows.RunRemoval(run);
    run.WaitForItemUnderWay();

    // Detections past the table's end could not be handled at all.
    const RemovalOutcome outcome{run.Removed(), found - run.Removed(), run.StopReason()};
    // What could not be removed stays listed for another try.
    scan.ShowRemovalOutcome(run.Removed(), run.NotRemoved());

    windows.ShowRemovalDone(outcome);
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
