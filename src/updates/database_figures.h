#pragma once

// The figures of the Virus Database page, as the page shows them: the last
// update's date and size and the number of updates, read each time the page
// is shown.

#include <functional>
#include <string>

#include "core/settings_record.h"

namespace tolvar {

struct DatabaseFigures {
    std::string lastUpdate;  // the date in the user's short format
    std::string updateSize;  // "<n> bytes"
    std::string totalUpdates;
};

// dateText turns a date serial into the user's short date (ShortDateOf).
DatabaseFigures DatabaseFiguresOf(const SettingsRecord& settings,
                                  const std::function<std::string(double)>& dateText);

}  // namespace tolvar
