#pragma once

// The program's clock and the user's date format: today as the settings
// store dates, and dates as the pages show them.

#include <string>

namespace tolvar {

// Today as a date serial at midnight, local time.
double TodaySerial();
// Now as a date serial with the time of day, local time and UTC.
double NowSerial();
double UtcNowSerial();
// Today's date in the user's short date format.
std::string TodayAsShortDate();
// A date serial in the user's short date format; "" for a date the system
// cannot show.
std::string ShortDateOf(double serial);

}  // namespace tolvar
