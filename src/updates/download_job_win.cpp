#include "updates/download_job_win.h"

#include <windows.h>

#include <utility>

#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/settings.h"
#include "framework/application_win.h"
#include "updates/cool_down_store.h"
#include "updates/database_files.h"
#include "updates/database_install.h"

namespace tolvar {

struct DownloadJob::Run : UpdateRun {
    DownloadPlan plan;
    // This run's own files, one per planned file, made before it starts.
    std::vector<std::string> transferFiles;

    void DeleteFiles() const {
        for (const std::string& file : transferFiles)
            DeleteFileA(file.c_str());
    }
};

namespace {

constexpr const char* kNotInstalledReason =
    "Reason: the downloaded databases could not be put in place of the ones in use.";

std::string StepText(const DownloadPlan& plan, std::size_t index) {
    std::string text = "Downloading " + plan.files[index].name;
    if (plan.files.size() > 1) {
        text += " (" + std::to_string(index + 1) + " of " + std::to_string(plan.files.size()) + ")";
    }
    return text;
}

}  // namespace

DownloadJob::DownloadJob(DatabaseTransport& transport, DownloadListener& listener)
    : transport_(transport), listener_(listener) {}

void DownloadJob::Start() {
    Run& run = runs_.Begin(std::make_unique<Run>());
    // The new run brings newer files than a refused install waits with.
    pending_.clear();
    waitingUpdate_.reset();
    const std::string& folder = Folders().DatabaseFolder;
    run.plan = PlanDownload(Settings(), TodaySerial(), ConfiguredMirror(), folder);
    run.concluded = true;  // until its worker runs, nothing is left to cancel
    if (const std::optional<double> until = CoolDownFor(run.plan.source)) {
        listener_.DownloadFailed(CoolDownReason(*until));
        return;
    }
    try {
        for (std::size_t i = 0; i < run.plan.files.size(); ++i)
            run.transferFiles.push_back(NewTransferFile(folder));
    } catch (...) {
        run.DeleteFiles();
        listener_.DownloadFailed(FailureReason(std::current_exception()));
        return;
    }
    run.concluded = false;
    listener_.DownloadStarted();
    run.worker = std::make_unique<Thread>([this, &run](Thread& self) { Transfer(self, run); });
    run.worker->start();
}

void DownloadJob::Cancel() {
    runs_.CancelCurrent();
}

bool DownloadJob::Running() const {
    return runs_.Running();
}

bool DownloadJob::RetryInstall() {
    if (pending_.empty()) return true;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (InstallDatabase(it->pendingFile, it->liveFile)) {
            it = pending_.erase(it);
        } else if (!FileExists(it->pendingFile)) {
            // Deleted before a scan: this update never reaches the scanner.
            waitingUpdate_.reset();
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    if (!pending_.empty()) return false;
    const std::optional<std::uint64_t> update = std::exchange(waitingUpdate_, std::nullopt);
    if (!update) {
        listener_.DownloadFailed(kNotInstalledReason);
        return true;
    }
    const std::exception_ptr saveError = CountInstalled(*update);
    listener_.DownloadSucceeded();
    if (saveError) std::rethrow_exception(saveError);
    return true;
}

void DownloadJob::Transfer(Thread& worker, Run& run) {
    std::vector<TransferOutcome> outcomes;
    std::exception_ptr fault;
    try {
        for (std::size_t i = 0; i < run.plan.files.size() && !run.cancelled; ++i) {
            worker.synchronize([&] {
                if (!run.cancelled) listener_.DownloadStep(StepText(run.plan, i));
            });
            TransferOutcome outcome =
                transport_.Fetch(run.plan.files[i].url, run.transferFiles[i], run.plan.proxy,
                                 [&](unsigned long done, unsigned long expected) {
                                     if (run.cancelled) return false;
                                     worker.synchronize([&] {
                                         // Cancel may have come while this waited for the UI
                                         // thread.
                                         if (!run.cancelled)
                                             listener_.DownloadProgress(GaugeFor(done, expected));
                                     });
                                     return !run.cancelled;
                                 });
            if (!run.cancelled) InspectDownload(run.transferFiles[i], outcome);
            outcomes.push_back(outcome);
            // One bad file fails the run: the rest need not travel.
            if (!IsGoodDownload(outcome)) break;
        }
    } catch (...) {
        fault = std::current_exception();
    }
    bool handedOver = false;
    try {
        worker.synchronize([&] {
            handedOver = true;
            // Its job is gone: only what it wrote goes with it.
            if (run.abandoned) {
                run.DeleteFiles();
                return;
            }
            Finish(run, outcomes, fault);
        });
    } catch (...) {
        // The program is closing and the UI thread took nothing more: the
        // downloads must not stay behind, and the error is reported when the
        // worker is joined.
        if (!handedOver) run.DeleteFiles();
        throw;
    }
}

void DownloadJob::Finish(Run& run, const std::vector<TransferOutcome>& outcomes,
                         const std::exception_ptr& fault) {
    run.concluded = true;
    try {
        Conclude(run, outcomes, fault);
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
}

void DownloadJob::Conclude(Run& run, const std::vector<TransferOutcome>& outcomes,
                           const std::exception_ptr& fault) {
    const TransferOutcome* bad = nullptr;
    for (const TransferOutcome& outcome : outcomes) {
        if (!IsGoodDownload(outcome)) {
            bad = &outcome;
            break;
        }
    }
    const bool complete = outcomes.size() == run.plan.files.size();
    if (run.cancelled || fault || bad || !complete) {
        // What a cancelled transfer wrote is of no use to anyone, and an
        // error page or a cut transfer must never take a live name.
        run.DeleteFiles();
    }
    if (run.cancelled) {
        // Its window is gone, but an error is still the program's to report.
        if (fault) std::rethrow_exception(fault);
        return;
    }
    // A failure is not an update: nothing is counted.
    if (fault) {
        listener_.DownloadFailed(FailureReason(fault));
        return;
    }
    if (bad) {
        if (bad->httpStatus == 429) {
            // No run asks this mirror again before it said it may.
            if (const std::optional<double> until =
                    RetryAfterUntil(bad->retryAfter, NowSerial(), UtcNowSerial())) {
                StoreCoolDown(CoolDown{*until, run.plan.source});
            }
        }
        listener_.DownloadFailed(FailureReason(*bad));
        return;
    }
    // The run's own work is done before the window hears of it, so that an
    // error of the window can never leave an update in place but not
    // counted. Only what is in place counts: a download that waits for its
    // live file is not an update yet.
    std::uint64_t bytes = 0;
    for (const TransferOutcome& outcome : outcomes)
        bytes += outcome.fileSize;
    const bool whole = Install(run);
    if (!pending_.empty()) {
        if (whole) waitingUpdate_ = bytes;
        listener_.InstallRefused();
        return;
    }
    if (!whole) {
        listener_.DownloadFailed(kNotInstalledReason);
        return;
    }
    const std::exception_ptr saveError = CountInstalled(bytes);
    listener_.DownloadSucceeded();
    if (saveError) std::rethrow_exception(saveError);
}

bool DownloadJob::Install(const Run& run) {
    bool whole = true;
    for (std::size_t i = 0; i < run.plan.files.size(); ++i) {
        const PlannedFile& file = run.plan.files[i];
        if (InstallDatabase(run.transferFiles[i], file.liveFile)) continue;
        // The live file is held: the checked download waits under its
        // pending name for the retry.
        if (InstallDatabase(run.transferFiles[i], file.pendingFile)) {
            pending_.push_back(file);
        } else {
            whole = false;
            DeleteFileA(run.transferFiles[i].c_str());
        }
    }
    return whole;
}

std::exception_ptr DownloadJob::CountInstalled(std::uint64_t bytes) {
    CountUpdate(Settings(), bytes, TodaySerial());
    try {
        SaveSettings();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

}  // namespace tolvar
