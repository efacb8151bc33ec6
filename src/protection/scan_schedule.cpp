#include "protection/scan_schedule.h"

#include <algorithm>
#include <cstdio>

namespace tolvar {

namespace {

constexpr std::int64_t kMinutesPerDay = 24 * 60;
// A last run or store this far after now means the clock was set back.
constexpr std::int64_t kClockSetBackMinutes = 120;

// Days since 1 March of the year 0, by the Gregorian calendar's 400-year
// cycles, and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool LeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

// The digits of text from pos on, at least one and at most maxDigits.
std::optional<int> Digits(std::string_view text, std::size_t& pos, std::size_t maxDigits) {
    const std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    if (pos == start) return std::nullopt;
    return value;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::int64_t MinutesOf(const LocalMoment& m) {
    return (DaysFromCivil(m.year, m.month, m.day) * 24 + m.hour) * 60 + m.minute;
}

LocalMoment MomentOfMinutes(std::int64_t minutes) {
    std::int64_t days = minutes / kMinutesPerDay;
    std::int64_t rest = minutes % kMinutesPerDay;
    if (rest < 0) {
        rest += kMinutesPerDay;
        --days;
    }
    LocalMoment moment;
    CivilFromDays(days, moment.year, moment.month, moment.day);
    moment.hour = static_cast<int>(rest / 60);
    moment.minute = static_cast<int>(rest % 60);
    return moment;
}

LocalMoment AddMinutes(const LocalMoment& moment, std::int64_t minutes) {
    return MomentOfMinutes(MinutesOf(moment) + minutes);
}

int WeekdayOf(const LocalMoment& moment) {
    // 1 March of the year 0 was a Wednesday.
    const std::int64_t days = DaysFromCivil(moment.year, moment.month, moment.day);
    return static_cast<int>(((days + 3) % 7 + 7) % 7);
}

std::string MomentText(const LocalMoment& m) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", m.year, m.month, m.day, m.hour,
                  m.minute);
    return text;
}

std::optional<LocalMoment> MomentFromText(std::string_view text) {
    text = Trimmed(text);
    // Exactly "YYYY-MM-DD HH:MM".
    if (text.size() != 16 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':')
        return std::nullopt;
    std::size_t pos = 0;
    LocalMoment m;
    const auto field = [&](std::size_t digits, int& out) {
        const std::size_t start = pos;
        const std::optional<int> value = Digits(text, pos, digits);
        if (!value || pos - start != digits) return false;
        out = *value;
        ++pos;  // the separator
        return true;
    };
    if (!field(4, m.year) || !field(2, m.month) || !field(2, m.day) || !field(2, m.hour) ||
        !field(2, m.minute))
        return std::nullopt;
    if (m.year < 1601 || m.month < 1 || m.month > 12 || m.day < 1 ||
        m.day > DaysInMonth(m.year, m.month) || m.hour > 23 || m.minute > 59)
        return std::nullopt;
    return m;
}

std::string TimeOfDayText(int minuteOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minuteOfDay / 60 % 24, minuteOfDay % 60);
    return text;
}

std::optional<int> TimeOfDayFromText(std::string_view text) {
    text = Trimmed(text);
    std::size_t pos = 0;
    const std::optional<int> hour = Digits(text, pos, 2);
    if (!hour || pos >= text.size() || text[pos] != ':') return std::nullopt;
    const std::size_t minuteStart = ++pos;
    const std::optional<int> minute = Digits(text, pos, 2);
    if (!minute || pos - minuteStart != 2 || pos != text.size()) return std::nullopt;
    if (*hour > 23 || *minute > 59) return std::nullopt;
    return *hour * 60 + *minute;
}

std::optional<LocalMoment> NextScheduledTime(const ScanSchedule& schedule,
                                             const LocalMoment& after) {
    if (schedule.frequency != ScheduleFrequency::Daily &&
        schedule.frequency != ScheduleFrequency::Weekly)
        return std::nullopt;
    const int minute = std::clamp(schedule.minuteOfDay, 0, static_cast<int>(kMinutesPerDay) - 1);
    const std::int64_t day = MinutesOf(LocalMoment{after.year, after.month, after.day, 0, 0});
    // Within eight days there is always a day of the week asked for after
    // the moment, the moment's own day being too late for it.
    for (int k = 0; k <= 8; ++k) {
        const LocalMoment candidate = MomentOfMinutes(day + k * kMinutesPerDay + minute);
        if (schedule.frequency == ScheduleFrequency::Weekly &&
            WeekdayOf(candidate) != schedule.weekday)
            continue;
        if (after < candidate) return candidate;
    }
    return std::nullopt;  // a weekday outside 0..6
}

std::optional<LocalMoment> RunMoment(const ScanSchedule& schedule, const LocalMoment& awakeSince,
                                     const LocalMoment& now) {
    std::optional<LocalMoment> reference = schedule.lastRun;
    if (schedule.storedAt && (!reference || *reference < *schedule.storedAt))
        reference = schedule.storedAt;
    if (!reference) reference = awakeSince;
    // A clock set back: counted from the start, as a schedule of unknown age.
    if (MinutesOf(*reference) > MinutesOf(now) + kClockSetBackMinutes)
        reference = now < awakeSince ? now : awakeSince;
    const std::optional<LocalMoment> next = NextScheduledTime(schedule, *reference);
    if (!next) return std::nullopt;
    if (*next < awakeSince) return AddMinutes(awakeSince, kMissedRunDelayMinutes);
    return next;
}

bool BatteryTooLow(const PowerReading& power) {
    return power.onBattery && power.percent && *power.percent < kLowBatteryPercent;
}

ScheduleLooks::Action ScheduleLooks::Decide(const ScanSchedule& schedule, const LocalMoment& now,
                                            const PowerReading& power) {
    if (!lastLook_ || MinutesOf(now) > MinutesOf(*lastLook_) + kWakeGapMinutes) awakeSince_ = now;
    lastLook_ = now;
    const std::optional<LocalMoment> moment = RunMoment(schedule, *awakeSince_, now);
    if (!moment || now < *moment) return Action::Wait;
    if (postponedUntil_ && now < *postponedUntil_) return Action::Wait;
    if (BatteryTooLow(power)) {
        postponedUntil_ = AddMinutes(now, kBatteryRetryMinutes);
        return Action::Postpone;
    }
    return Action::Start;
}

}  // namespace tolvar
