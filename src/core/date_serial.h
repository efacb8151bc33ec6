#pragma once

// Dates as the settings store them (days since 30 December 1899, fraction =
// time of day), the start-up reset of an update date that is too old, and the
// rule that accepts a stored data folder.

#include <optional>
#include <string>
#include <string_view>

#include "core/settings_record.h"

namespace tolvar {

// The serial of a calendar date of the proleptic Gregorian calendar at
// midnight: 1899-12-30 is 0.0, 1900-01-01 is 2.0. Throws AppError for a month
// outside 1..12 or a day that the month does not have.
double DateSerial(int year, int month, int day);

struct CivilDate {
    int year;
    int month;
    int day;
};

// The calendar date of a serial (its time of day dropped); nothing for a
// value that is not finite or lies outside the years 1601 to 9999, which
// the system's date functions cannot show.
std::optional<CivilDate> CivilFromSerial(double serial);

// True when the last update lies more than 355 days before today. A stored
// date that is not a finite number (a damaged record) also counts as stale,
// since no subtraction would ever make it old enough.
bool NeedsStaleUpdateReset(double today, double lastUpdateDate);

// Makes the next scheduled check find an update due: schedule Daily, last
// update 100 days before today, no updates counted, no last size.
void ApplyStaleUpdateReset(SettingsRecord& settings, double today);

// Accepts a stored data folder that contains "Mirebrook\" after its first
// character (the first occurrence, case-sensitive) and sets dataFolder to it,
// with a trailing backslash added when it lacks one. Returns false, leaving
// dataFolder alone, for anything else.
bool DataFolderFromStored(std::string_view stored, std::string& dataFolder);

}  // namespace tolvar
