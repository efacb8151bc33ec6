#pragma once

// The settings record of this run and the random source: program-wide state
// of the core, touched on the UI thread only.

#include <random>

#include "core/settings_record.h"

namespace tolvar {

// Read once at start-up; each change is followed by SaveSettings().
SettingsRecord& Settings();

// Stores the whole record as the binary default value of "sysdata". A
// failure propagates to the caller; the record in memory keeps its values.
void SaveSettings();

// The program's pseudo-random source, seeded from the clock at start-up.
std::mt19937& Random();
// Seeds the program's random source from the clock.
void SeedRandom();

}  // namespace tolvar
