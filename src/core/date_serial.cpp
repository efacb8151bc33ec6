#include "core/date_serial.h"

#include <cmath>

#include "core/app_error.h"

namespace tolvar {

namespace {

bool IsLeapYear(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(long long year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01, counted in 400-year eras so that years before the
// epoch (and before year 0) need no special case.
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The inverse of DaysFromCivil.
CivilDate CivilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return CivilDate{static_cast<int>(year), month, day};
}

constexpr long long kSerialZeroFromEpoch = -25569;  // 1899-12-30

constexpr double kStaleAfterDays = 355.0;
constexpr double kResetBackDays = 100.0;

constexpr std::string_view kDataFolderMark = "Mirebrook\\";

}  // namespace

double DateSerial(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        throw AppError("The date is not valid.");
    }
    return static_cast<double>(DaysFromCivil(year, month, day) - kSerialZeroFromEpoch);
}

std::optional<CivilDate> CivilFromSerial(double serial) {
    // 1601-01-01 and 9999-12-31 as serials.
    constexpr double kFirst = -109205.0;
    constexpr double kLast = 2958465.0;
    if (!std::isfinite(serial) || serial < kFirst || serial >= kLast + 1.0) return std::nullopt;
    return CivilFromDays(static_cast<long long>(std::floor(serial)) + kSerialZeroFromEpoch);
}

bool NeedsStaleUpdateReset(double today, double lastUpdateDate) {
    if (!std::isfinite(lastUpdateDate)) return true;
    return today - lastUpdateDate > kStaleAfterDays;
}

void ApplyStaleUpdateReset(SettingsRecord& settings, double today) {
    settings.SetCheckSchedule(UpdateSchedule::Daily);
    settings.SetLastUpdateDate(today - kResetBackDays);
    settings.SetTotalUpdates(0);
    settings.SetLastUpdateSize(0);
}

bool DataFolderFromStored(std::string_view stored, std::string& dataFolder) {
    const std::size_t at = stored.find(kDataFolderMark);
    if (at == std::string_view::npos || at == 0) return false;
    dataFolder.assign(stored);
    if (dataFolder.back() != '\\') dataFolder.push_back('\\');
    return true;
}

}  // namespace tolvar
