#pragma once

// The decisions of one database download run that need no system: what it
// fetches and where it writes, what the gauge shows of a transfer, what a
// good run records, and the reason line for a run that stopped on an error.

#include <exception>
#include <string>
#include <string_view>

#include "core/settings_record.h"
#include "updates/database_transport.h"
#include "updates/download_outcome.h"
#include "updates/update_schedule.h"

namespace tolvar {

// Fixed when a run starts; the install retry works from the same plan.
struct DownloadPlan {
    DatabaseKind kind = DatabaseKind::Main;
    std::string url;
    std::string downloadFile;  // where the transfer writes
    std::string liveFile;      // the name the scanner reads
    ProxySettings proxy;
};

// The file by the last update's distance from today, the address on the
// configured mirror ("" for the public one), both names in databaseFolder
// (which ends with a separator), and the proxy as the settings have it.
DownloadPlan PlanDownload(const SettingsRecord& settings, double today,
                          std::string_view configuredMirror, const std::string& databaseFolder);

// The gauge's range is a signed int: a transfer beyond its reach shows as
// full rather than wrapping to a negative figure.
struct GaugeReading {
    int position = 0;
    int maximum = 0;
};
GaugeReading GaugeFor(unsigned long done, unsigned long expected);

// Records a good run: the file's length and one more update (each held at
// the record's largest value rather than wrapping), and today as its date.
void CountUpdate(SettingsRecord& settings, const TransferOutcome& outcome, double today);

// The failure notice's reason line, in the form FailureReason uses, for a
// run that an error (an exception) stopped.
std::string FailureReason(const std::exception_ptr& error);

}  // namespace tolvar
