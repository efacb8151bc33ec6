#pragma once

// The scheduled scan as stored in the registry subkey "schedule": DWORDs
// "Frequency" (0 Off, 1 Daily, 2 Weekly), "Weekday" (0 Sunday .. 6
// Saturday), "Time" (minutes after midnight) and "Targets" (0 all fixed
// drives, 1 the folders last chosen in the folder chooser); texts
// "StoredAt" and "LastRun" ("2026-12-09 14:00", local time) and
// "LastOutcome" (the run's end in words, empty while it runs); and in the
// default value the folders last chosen, one a line, each ending with a
// backslash. A value missing, of another type or out of its range reads as
// its default (Off, Monday, noon, all fixed drives, no time); a text that
// names no moment reads as none and is left as it is.

#include <optional>
#include <string>
#include <vector>

#include "protection/scan_schedule.h"

namespace tolvar {

inline constexpr const char* kScheduleSubkey = "schedule";

ScanSchedule LoadScanSchedule();
// The frequency, weekday, time and targets; and storedAt when it is set
// (the window sets it when the times changed).
void StoreScanSchedule(const ScanSchedule& schedule);

// The last run: its start, stored when it starts (outcome empty), and its
// end in words.
struct LastScheduledRun {
    std::optional<LocalMoment> time;
    std::string outcome;
};
LastScheduledRun LoadLastScheduledRun();
void StoreLastRunStart(const LocalMoment& when);
void StoreLastRunOutcome(const std::string& outcome);

// The folders the folder chooser last started a scan of, as it gave them.
std::vector<std::string> LastChosenFolders();
void StoreLastChosenFolders(const std::vector<std::string>& folders);

}  // namespace tolvar
