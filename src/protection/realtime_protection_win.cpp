#include "protection/realtime_protection_win.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "core/app_error.h"
#include "core/folders.h"
#include "framework/thread_win.h"
#include "protection/clamd_file_check_win.h"
#include "protection/folder_watcher_win.h"
#include "protection/realtime_events_win.h"
#include "protection/realtime_setting_win.h"
#include "quarantine/vault.h"
#include "scan/clamd_daemon_win.h"
#include "scan/excluded_folders.h"
#include "scan/process_snapshot.h"

namespace tolvar {

namespace {

// clamd gives up on a file after its MaxScanTime (two minutes by default).
constexpr unsigned kVerdictTimeoutMs = 150000;
// A clamd elsewhere that stopped answering is asked again this often while
// files wait for it.
constexpr DWORD kEngineRetryMs = 10000;
// While the user's removal holds the vault, a quarantine is tried again
// after this long.
constexpr UINT kVaultBusyRetryMs = 1000;

struct RealtimeEngine {
    ClamdAddress address;
    bool stream = false;
    bool operator==(const RealtimeEngine&) const = default;
};

}  // namespace

// The watch and the worker that asks the engine about what it reports.
class RealtimeProtection::Service {
public:
    Service(RealtimeProtection& owner, const std::vector<std::string>& folders,
            const std::vector<std::string>& skipped)
        : owner_(owner),
          worker_([this](Thread& self) { Body(self); }),
          watcher_(folders, skipped, [this](const ReadyFile& file) { Arrived(file); }) {
        worker_.start();
    }

    ~Service() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        cancel_.Cancel();
        // The watcher goes first (declared last), then the worker is waited
        // for, handling its hand-overs meanwhile.
    }

    void SetEngine(std::optional<RealtimeEngine> engine) {
        {
            std::lock_guard lock(mutex_);
            if (engine != engine_) engineDown_.clear();
            engine_ = std::move(engine);
        }
        changed_.notify_all();
    }

    // An engine is set and was not found gone.
    bool Scanning() const {
        std::lock_guard lock(mutex_);
        return engine_ && engineDown_.empty();
    }
    std::size_t Waiting() const {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }
    std::string EngineDown() const {
        std::lock_guard lock(mutex_);
        return engineDown_;
    }
    std::vector<std::string> Watching() const { return watcher_.Watching(); }

private:
    void Arrived(const ReadyFile& file) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(file);
        }
        changed_.notify_all();
    }

    void Body(Thread& self) {
        std::unique_lock lock(mutex_);
        for (;;) {
            const auto due = [this] {
                return quit_ || (!queue_.empty() && engine_ && engineDown_.empty());
            };
            // Nothing to do costs nothing: only files waiting for a clamd
            // that went make the worker look again, now and then.
            const bool retrying = !queue_.empty() && engine_ && !engineDown_.empty();
            const bool ready =
                retrying ? changed_.wait_for(lock, std::chrono::milliseconds(kEngineRetryMs), due)
                         : (changed_.wait(lock, due), true);
            if (quit_) return;
            if (!ready) {
                // A clamd that went is asked again while files wait for it.
                engineDown_.clear();
                continue;
            }
            if (queue_.empty() || !engine_ || !engineDown_.empty()) continue;
            const ReadyFile file = queue_.front();
            queue_.pop_front();
            const RealtimeEngine engine = *engine_;
            lock.unlock();
            // The watch hands out each version of a file once; an empty file
            // holds nothing to find.
            FileVerdict verdict{FileVerdict::Kind::Clean, {}};
            if (file.size > 0)
                verdict = CheckFileWithClamd(engine.address, file.path, engine.stream,
                                             kVerdictTimeoutMs, cancel_);
            if (verdict.kind == FileVerdict::Kind::Found)
                self.synchronize([&] { owner_.Found(file.path, verdict.detail); });
            // Unread: gone before its turn, or the engine could not read it;
            // nothing to take away.
            lock.lock();
            if (quit_) return;
            if (verdict.kind == FileVerdict::Kind::NoEngine) {
                queue_.push_front(file);
                const bool told = !engineDown_.empty();
                engineDown_ = verdict.detail.empty() ? "no answer" : verdict.detail;
                if (!told) {
                    lock.unlock();
                    self.synchronize([this] { owner_.Changed(); });
                    lock.lock();
                }
            }
        }
    }

    RealtimeProtection& owner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool quit_ = false;
    std::deque<ReadyFile> queue_;
    std::optional<RealtimeEngine> engine_;
    std::string engineDown_;
    ClamdCheckCancel cancel_;
    Thread worker_;
    // Last: it ends first, so that nothing arrives for a worker that went.
    FolderWatcher watcher_;
};

RealtimeProtection::RealtimeProtection(ClamdDaemon& daemon) : daemon_(daemon) {
    quarantineTimer_.onTimer = [this] {
        quarantineTimer_.setEnabled(false);
        if (run_ && itemDone_) FinishQuarantine();
        QuarantineNext();
    };
}

RealtimeProtection::~RealtimeProtection() {
    ShutDown();
}

void RealtimeProtection::Apply() {
    if (ending_) return;
    wanted_ = RealtimeWanted();
    std::vector<std::string> folders = WatchedFolders();
    std::vector<std::string> skipped;
    for (const std::string& folder :
         {Folders().DataFolder, Folders().DatabaseFolder, VaultFolder()})
        if (std::optional<std::string> listed = ExcludedFolderOf(folder))
            skipped.push_back(*listed);
    for (std::string& excluded : ParseExcludedFolders(LoadExcludedFoldersText()))
        skipped.push_back(std::move(excluded));

    if (!wanted_) {
        service_.reset();
    } else if (!service_ || folders != folders_ || skipped != skipped_) {
        service_.reset();
        service_ = std::make_unique<Service>(*this, folders, skipped);
    }
    folders_ = std::move(folders);
    skipped_ = std::move(skipped);

    std::optional<RealtimeEngine> engine;
    const EngineSetting& setting = daemon_.Setting();
    const DaemonStatus& own = daemon_.Status();
    if (setting.mode == EngineMode::Address && setting.address) {
        engine = RealtimeEngine{*setting.address, !IsLocalHost(setting.address->host)};
    } else if (setting.mode == EngineMode::Automatic && own.phase == DaemonPhase::Ready &&
               own.address) {
        engine = RealtimeEngine{*own.address, false};
    }
    if (service_) service_->SetEngine(engine);
    Changed();
}

void RealtimeProtection::ShutDown() {
    ending_ = true;
    quarantineTimer_.setEnabled(false);
    service_.reset();
    if (run_) run_->WaitForItemUnderWay();
    run_.reset();
}

bool RealtimeProtection::Wanted() const {
    return wanted_;
}

bool RealtimeProtection::Active() const {
    return wanted_ && service_ && service_->Scanning();
}

std::vector<std::string> RealtimeProtection::Watching() const {
    return service_ ? service_->Watching() : std::vector<std::string>{};
}

std::string RealtimeProtection::StateWords() const {
    if (!wanted_) return "Off";
    if (!Active()) {
        std::string words = "Waiting for the scan engine";
        const std::size_t waiting = service_ ? service_->Waiting() : 0;
        if (waiting > 0) words += " (" + std::to_string(waiting) + " file(s) to scan)";
        const std::string down = service_ ? service_->EngineDown() : "";
        if (!down.empty()) words += ": " + down;
        return words;
    }
    const std::size_t watched = Watching().size();
    if (watched == 0) return "On: no folder is watched";
    return "On: " + std::to_string(watched) + " folder(s) watched";
}

void RealtimeProtection::Changed() {
    if (onChange) onChange();
}

void RealtimeProtection::Found(std::string path, std::string name) {
    if (ending_) return;  // found again at the next start
    detections_.push_back({std::move(path), std::move(name)});
    QuarantineNext();
}

void RealtimeProtection::QuarantineNext() {
    if (ending_ || run_ || detections_.empty()) return;
    if (removalBusy && removalBusy()) {
        quarantineTimer_.setInterval(kVaultBusyRetryMs);
        quarantineTimer_.setEnabled(true);
        return;
    }
    const Detection detection = detections_.front();
    detections_.pop_front();
    const std::string unusable = VaultUnusableReason();
    if (!unusable.empty()) {
        Tell(
            {"", detection.path, detection.name, std::string(kActionNotRemoved) + ": " + unusable});
        QuarantineNext();
        return;
    }
    try {
        TakeProcessSnapshot();
    } catch (const std::exception&) {
        // Without a snapshot no program is ended; the quarantine goes on.
    }
    table_ = std::make_unique<InfectionTable>();
    (*table_)[0].FilePath = detection.path;
    (*table_)[0].VirusName = detection.name;
    run_ = std::make_unique<RemovalRun>(*table_, 1);
    itemDone_ = false;
    const bool started = run_->StartNextItem([this] {
        itemDone_ = true;
        quarantineTimer_.setInterval(1);
        quarantineTimer_.setEnabled(true);
    });
    if (!started) {
        itemDone_ = true;
        quarantineTimer_.setInterval(1);
        quarantineTimer_.setEnabled(true);
    }
}

void RealtimeProtection::FinishQuarantine() {
    const InfectionRecord record = (*table_)[0];
    const bool removed = run_->Removed() == 1;
    std::string action = kActionQuarantined;
    if (!removed) {
        const std::string why = run_->StopReason();
        action = std::string(kActionNotRemoved) + ": " +
                 (why.empty() ? "it could not be moved into the vault or deleted" : why);
    }
    run_.reset();
    table_.reset();
    Tell({"", record.FilePath, record.VirusName, action});
}

void RealtimeProtection::Tell(RealtimeEvent event) {
    if (event.time.empty()) event.time = LocalTimeText();
    try {
        AddRealtimeEvent(event);
    } catch (const AppError&) {
        // The balloon still tells it; the list misses one line.
    }
    if (onDetection) onDetection(event);
    Changed();
}

}  // namespace tolvar
