#include "updates/download_job_win.h"

#include <windows.h>

#include "core/clock.h"
#include "core/folders.h"
#include "core/settings.h"
#include "framework/application_win.h"
#include "updates/database_install.h"

namespace tolvar {

namespace {

void DeleteDownload(const DownloadPlan& plan) {
    DeleteFileA(plan.downloadFile.c_str());
}

}  // namespace

DownloadJob::DownloadJob(DatabaseTransport& transport, DownloadListener& listener)
    : transport_(transport), listener_(listener) {}

DownloadJob::~DownloadJob() {
    cancelled_ = true;
    JoinWorker();
}

void DownloadJob::Start() {
    // At most one worker: one still winding down a cancelled transfer ends
    // (and deletes what it wrote) before this run may write the same name.
    cancelled_ = true;
    JoinWorker();
    cancelled_ = false;
    installPending_ = false;
    plan_ = PlanDownload(Settings(), TodaySerial(), ConfiguredMirror(), Folders().DatabaseFolder);
    listener_.DownloadStarted();
    auto worker =
        std::make_unique<Thread>([this, plan = plan_](Thread& self) { Transfer(self, plan); });
    worker->start();
    worker_ = std::move(worker);
}

void DownloadJob::Cancel() {
    cancelled_ = true;
}

bool DownloadJob::Running() const {
    return worker_ && !worker_->finished();
}

bool DownloadJob::RetryInstall() {
    if (!installPending_) return true;
    if (!InstallDatabase(plan_.downloadFile, plan_.liveFile)) return false;
    installPending_ = false;
    return true;
}

void DownloadJob::Transfer(Thread& worker, const DownloadPlan& plan) {
    TransferOutcome outcome;
    std::exception_ptr fault;
    try {
        outcome = transport_.Fetch(plan.url, plan.downloadFile, plan.proxy,
                                   [&](unsigned long done, unsigned long expected) {
                                       if (cancelled_) return false;
                                       worker.synchronize([&] {
                                           // Cancel may have come while this
                                           // waited for the UI thread.
                                           if (cancelled_) return;
                                           listener_.DownloadProgress(GaugeFor(done, expected));
                                       });
                                       return !cancelled_;
                                   });
        if (!cancelled_) InspectDownload(plan.downloadFile, outcome);
    } catch (...) {
        fault = std::current_exception();
    }
    bool handedOver = false;
    try {
        worker.synchronize([&] {
            handedOver = true;
            Finish(outcome, fault);
        });
    } catch (...) {
        // The program is closing and the UI thread took nothing more: the
        // download must not stay behind, and the error is reported when the
        // worker is joined.
        if (!handedOver) DeleteDownload(plan);
        throw;
    }
}

void DownloadJob::Finish(const TransferOutcome& outcome, const std::exception_ptr& fault) {
    try {
        Conclude(outcome, fault);
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
}

void DownloadJob::Conclude(const TransferOutcome& outcome, const std::exception_ptr& fault) {
    if (cancelled_ || fault || !IsGoodDownload(outcome)) {
        // What a cancelled transfer wrote is of no use to anyone, and an
        // error page or a cut transfer must never take the live name.
        DeleteDownload(plan_);
    }
    if (cancelled_) {
        // Its window is gone, but an error is still the program's to report.
        if (fault) std::rethrow_exception(fault);
        return;
    }
    // A failure is not an update: nothing is counted.
    if (fault) {
        listener_.DownloadFailed(FailureReason(fault));
        return;
    }
    if (!IsGoodDownload(outcome)) {
        listener_.DownloadFailed(FailureReason(outcome));
        return;
    }
    // The run's own work is done before the window hears of it, so that an
    // error of the window can never leave an update counted but not stored
    // or not put in place.
    CountUpdate(Settings(), outcome, TodaySerial());
    std::exception_ptr saveError;
    try {
        SaveSettings();
    } catch (...) {
        // The update still goes in place; only its record did not reach the
        // registry.
        saveError = std::current_exception();
    }
    installPending_ = !InstallDatabase(plan_.downloadFile, plan_.liveFile);
    listener_.DownloadSucceeded();
    if (installPending_) listener_.InstallRefused();
    if (saveError) std::rethrow_exception(saveError);
}

void DownloadJob::JoinWorker() {
    if (!worker_) return;
    worker_->waitFor();
    const std::exception_ptr error = worker_->error();
    worker_.reset();
    if (!error) return;
    if (Application* app = Application::current()) app->reportException(error);
}

}  // namespace tolvar
