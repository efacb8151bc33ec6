#pragma once

// An update through ClamAV's updater (freshclam.exe beside the scanner): the
// program writes its configuration (database folder, mirror, proxy), runs
// it as a child process, shows what it says as it says it (the database it
// fetches, its progress line), and ends it on Cancel. The updater checks,
// installs and patches the databases itself; the program counts a run that
// updated something, says so when all was up to date, and otherwise shows
// the reason and keeps any cool-down the mirror asked for.

#include <string>

#include "updates/download_listener.h"
#include "updates/update_runs_win.h"

namespace tolvar {

// Where the updater sits: beside the scanner, under the program folder.
std::string FreshclamPath();

class FreshclamJob {
public:
    // executable: the updater to run; "" for FreshclamPath(), taken at each
    // run (the program folder is fixed only after the windows are made).
    explicit FreshclamJob(DownloadListener& listener, std::string executable = "");
    FreshclamJob(const FreshclamJob&) = delete;
    FreshclamJob& operator=(const FreshclamJob&) = delete;

    std::string executable() const { return executable_.empty() ? FreshclamPath() : executable_; }

    // On the UI thread: starts the updater, unless its cool-down still
    // holds or it cannot be started (the listener then hears why at once).
    // An updater still running from a cancelled run is ended, not waited
    // for.
    void Start();
    // Ends the updater at once; the run then tells the listener nothing
    // more and counts nothing.
    void Cancel();
    // True while the current run's worker has not ended.
    bool Running() const;

private:
    struct Run;
    void Follow(Thread& worker, Run& run);
    void Finish(Run& run, unsigned long exitCode);
    void Conclude(Run& run, unsigned long exitCode);

    DownloadListener& listener_;
    std::string executable_;
    // Last, so it goes first: the workers are joined while all they use is
    // still there.
    UpdateRuns runs_;
};

}  // namespace tolvar
