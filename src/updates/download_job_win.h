#pragma once

// The program's own download of the databases, for a mirror of the user's
// own (and where ClamAV's updater is missing): it fetches the full and the
// daily database, or the daily one alone, each into a file of its own run,
// checks what arrived (status, length, header, checksum), and only when
// every file is good puts the new files in place of the live ones. The
// update counts (and the settings are stored) once every file of it is in
// place: a live file the system holds keeps its checked download waiting
// for the retry, and the run counts when the retry has put the last one in.
// A failed or cancelled run leaves the live databases and the counts as
// they were and deletes what it wrote. Its window hears of the run through
// DownloadListener only.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "updates/database_transport.h"
#include "updates/download_listener.h"
#include "updates/download_run.h"
#include "updates/update_runs_win.h"

namespace tolvar {

class DownloadJob {
public:
    DownloadJob(DatabaseTransport& transport, DownloadListener& listener);
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // On the UI thread. Plans the run from today, the settings and the
    // configured mirror, and starts its worker, unless the mirror's
    // cool-down still holds (the listener then hears why at once). A run
    // still winding down is not waited for; a pending install retry is
    // dropped, the new run bringing newer files.
    void Start();
    // Stops the transfer under way at its next progress report; the run
    // then deletes what it wrote and tells the listener nothing more.
    void Cancel();
    // True while the current run's worker has not ended.
    bool Running() const;
    // The retry of a refused install; true once nothing is left to retry.
    // It never deletes a live file: while the system refuses, the live
    // database stays as it was. Putting the last waiting file in counts the
    // update; a waiting file that is gone (the clean-up before a scan
    // deletes it) leaves the update uncounted.
    bool RetryInstall();

private:
    struct Run;
    void Transfer(Thread& worker, Run& run);
    void Finish(Run& run, const std::vector<TransferOutcome>& outcomes,
                const std::exception_ptr& fault);
    void Conclude(Run& run, const std::vector<TransferOutcome>& outcomes,
                  const std::exception_ptr& fault);
    // Puts the run's files in place; what the system refuses waits under
    // its pending name. False when a file could neither go in nor wait.
    bool Install(const Run& run);
    // Counts an update of this many bytes as of today and stores it; what
    // storing it threw, if anything (the update is in place and counted in
    // memory all the same, and the window hears of it first).
    std::exception_ptr CountInstalled(std::uint64_t bytes);

    DatabaseTransport& transport_;
    DownloadListener& listener_;
    // Checked downloads under their pending names, waiting for the live file.
    std::vector<PlannedFile> pending_;
    // The size of the update that waits for them, to count once they are
    // in; none when a file of it was lost.
    std::optional<std::uint64_t> waitingUpdate_;
    // Last, so it goes first: the workers are joined while all they use is
    // still there.
    UpdateRuns runs_;
};

}  // namespace tolvar
