#pragma once

// One database download run at a time, apart from any window: it fetches the
// full or the daily database into its download name on a worker, checks what
// arrived, and on a good transfer counts the update, stores the settings and
// puts the new file in place of the live one. A failed or cancelled run
// leaves the live database and the counts as they were and deletes what it
// wrote. Its window hears of the run through DownloadListener only.

#include <atomic>
#include <exception>
#include <memory>
#include <string>

#include "framework/thread_win.h"
#include "updates/database_transport.h"
#include "updates/download_run.h"

namespace tolvar {

// What the window of a run is told; every call comes on the UI thread.
class DownloadListener {
public:
    // The run has begun: its progress starts at 0 of 100.
    virtual void DownloadStarted() = 0;
    virtual void DownloadProgress(GaugeReading reading) = 0;
    // The update was counted and stored.
    virtual void DownloadSucceeded() = 0;
    // The system refused to replace the live file (the scanner may hold
    // it): call DownloadJob::RetryInstall() every 500 ms until it succeeds.
    virtual void InstallRefused() = 0;
    // Nothing was counted; reason is the failure notice's line.
    virtual void DownloadFailed(const std::string& reason) = 0;

protected:
    ~DownloadListener() = default;
};

class DownloadJob {
public:
    DownloadJob(DatabaseTransport& transport, DownloadListener& listener);
    // Cancels a run still under way and waits for its worker: a worker never
    // outlives the job, nor tells a listener that may be gone.
    ~DownloadJob();
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // On the UI thread. Plans the run from today, the settings and the
    // configured mirror, and starts its worker. A run cancelled before is
    // waited for first; a pending install retry is dropped, so that it can
    // never rename a file this run is writing.
    void Start();
    // Stops a transfer under way at its next progress report; the run then
    // deletes what it wrote and tells the listener nothing more.
    void Cancel();
    // True while a worker exists that has not ended.
    bool Running() const;
    // The retry of a refused install; true once nothing is left to retry.
    // It never deletes the live file: while the system refuses, the live
    // database stays as it was.
    bool RetryInstall();

private:
    void Transfer(Thread& worker, const DownloadPlan& plan);
    void Finish(const TransferOutcome& outcome, const std::exception_ptr& fault);
    void Conclude(const TransferOutcome& outcome, const std::exception_ptr& fault);
    // Waits for the last worker and reports what it threw, if anything.
    void JoinWorker();

    DatabaseTransport& transport_;
    DownloadListener& listener_;
    DownloadPlan plan_;
    bool installPending_ = false;
    std::atomic<bool> cancelled_{false};
    std::unique_ptr<Thread> worker_;
};

}  // namespace tolvar
