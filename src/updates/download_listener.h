#pragma once

// What the window of an update run is told, by the program's own download
// and by ClamAV's updater alike; every call comes on the UI thread.

#include <string>

#include "updates/download_run.h"

namespace tolvar {

class DownloadListener {
public:
    // The run has begun: its progress starts at 0 of 100.
    virtual void DownloadStarted() = 0;
    // What the run does now, in words (which database it fetches).
    virtual void DownloadStep(const std::string& step) = 0;
    virtual void DownloadProgress(GaugeReading reading) = 0;
    // The update is in place, counted and stored; also when the retry of a
    // refused install has put its last file in.
    virtual void DownloadSucceeded() = 0;
    // The mirror had nothing newer; nothing was counted.
    virtual void DatabaseUpToDate() = 0;
    // The system refused to replace a live file (the scanner may hold it):
    // the download waits, nothing is counted yet. Call RetryInstall() of the
    // run every 500 ms until it returns true.
    virtual void InstallRefused() = 0;
    // Nothing was counted; reason is the failure notice's line.
    virtual void DownloadFailed(const std::string& reason) = 0;

protected:
    ~DownloadListener() = default;
};

}  // namespace tolvar
