#pragma once

// Every database update of the program, whichever way it goes: through
// ClamAV's updater when it sits beside the scanner and no mirror of the
// user's own is set, through the program's own download otherwise. The
// choice is made at each start, so a mirror set in the update settings
// takes effect with the next run.

#include <string>

#include "updates/database_transport.h"
#include "updates/download_job_win.h"
#include "updates/download_listener.h"
#include "updates/freshclam_job_win.h"

namespace tolvar {

class DatabaseUpdater {
public:
    // freshclam: where ClamAV's updater sits; "" for FreshclamPath().
    DatabaseUpdater(DatabaseTransport& transport, DownloadListener& listener,
                    std::string freshclam = "");
    DatabaseUpdater(const DatabaseUpdater&) = delete;
    DatabaseUpdater& operator=(const DatabaseUpdater&) = delete;

    // True when the next run goes through ClamAV's updater.
    bool UsesFreshclam() const;

    void Start();
    void Cancel();
    bool Running() const;
    bool RetryInstall();

private:
    DownloadJob download_;
    FreshclamJob freshclam_;
};

// The end of the cool-down that holds now for the next update run, if any:
// the scheduled check waits for it rather than start a run the mirror
// would refuse.
std::optional<double> UpdateCoolDown();

}  // namespace tolvar
