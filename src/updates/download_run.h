#pragma once

// The decisions of one database download run that need no system: what it
// fetches and where it puts it, what the gauge shows of a transfer, what a
// good run records, and the reason line for a run that stopped on an error.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_record.h"
#include "updates/database_transport.h"
#include "updates/download_outcome.h"
#include "updates/update_schedule.h"

namespace tolvar {

// One database file of a run.
struct PlannedFile {
    std::string name;  // "main.cvd", for the window
    std::string url;
    std::string liveFile;     // the name the scanner reads
    std::string pendingFile;  // where a checked download waits while the live file is held
};

// Fixed when a run starts. Each transfer writes to a file of its own run
// (the job names it), never to these names: a cancelled transfer that is
// still winding down must not write into the next run's files.
struct DownloadPlan {
    std::vector<PlannedFile> files;
    ProxySettings proxy;
    std::string source;  // the mirror, for its cool-down
};

// The proxy as the update settings have it.
ProxySettings ProxyOf(const SettingsRecord& settings);

// The files by the last update's distance from today (ChooseDownloads),
// their addresses on the configured mirror ("" for the public one), their
// names in databaseFolder (which ends with a separator), and the proxy as
// the settings have it.
DownloadPlan PlanDownload(const SettingsRecord& settings, double today,
                          std::string_view configuredMirror, const std::string& databaseFolder);

// The gauge's range is a signed int: a transfer beyond its reach shows as
// full rather than wrapping to a negative figure.
struct GaugeReading {
    int position = 0;
    int maximum = 0;
};
GaugeReading GaugeFor(unsigned long done, unsigned long expected);

// Records a good run: the length of what it installed and one more update
// (each held at the record's largest value rather than wrapping), and today
// as its date.
void CountUpdate(SettingsRecord& settings, std::uint64_t installedBytes, double today);

// The failure notice's reason line, in the form FailureReason uses, for a
// run that an error (an exception) stopped.
std::string FailureReason(const std::exception_ptr& error);

}  // namespace tolvar
