#pragma once

// When an update is due and which database files a run fetches. Dates are
// serials (whole days since 30 December 1899), so the rules are plain
// arithmetic on numbers and testable without a clock.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/settings_record.h"

namespace tolvar {

enum class DatabaseKind { Main, Daily };

// The files of one kind: the path on the mirror, the live name and the name
// a checked download waits under while the system refuses to replace the
// live file.
struct DatabaseFiles {
    DatabaseKind kind;
    const char* remotePath;
    const char* liveName;
    const char* pendingName;
};

DatabaseFiles FilesOf(DatabaseKind kind);

// The full database when the last run lies more than a day away (either
// way: a date in the future counts by its distance), and then always the
// daily one: new signatures arrive only in the daily database, so a run
// after a week must bring them too.
std::vector<DatabaseFiles> ChooseDownloads(double today, double lastUpdateDate);

// Days between checks; nothing for "Never Check". A damaged schedule byte
// counts as daily: a broken record must not stop the updates silently.
std::optional<int> ScheduleDays(UpdateSchedule schedule, std::uint8_t intervalDays);

// True when at least the schedule's days have passed since the last update.
bool IsUpdateDue(const SettingsRecord& settings, double today);

}  // namespace tolvar
