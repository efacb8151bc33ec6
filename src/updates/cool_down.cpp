#include "updates/cool_down.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/app_error.h"
#include "core/ascii_text.h"
#include "core/date_serial.h"

namespace tolvar {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kLongestCoolDownDays = 7.0;

bool ReadNumber(std::string_view text, std::size_t at, std::size_t digits, int& value) {
    if (at + digits > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::optional<double> SerialOf(int year, int month, int day, int hour, int minute, int second) {
    if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
    try {
        return DateSerial(year, month, day) + (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
    } catch (const AppError&) {
        return std::nullopt;  // no such day
    }
}

// "HH:MM:SS" at text[at].
bool ReadClock(std::string_view text, std::size_t at, int& hour, int& minute, int& second) {
    return ReadNumber(text, at, 2, hour) && text.size() > at + 2 && text[at + 2] == ':' &&
           ReadNumber(text, at + 3, 2, minute) && text.size() > at + 5 && text[at + 5] == ':' &&
           ReadNumber(text, at + 6, 2, second);
}

// "Wed, 09 Dec 2026 10:00:00 GMT", the one date form HTTP sends today.
std::optional<double> ParseHttpDate(std::string_view text) {
    const std::size_t comma = text.find(", ");
    if (comma == std::string_view::npos) return std::nullopt;
    text.remove_prefix(comma + 2);
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (text.size() != 24 || !ReadNumber(text, 0, 2, day) || text[2] != ' ' || text[6] != ' ' ||
        !ReadNumber(text, 7, 4, year) || text[11] != ' ' ||
        !ReadClock(text, 12, hour, minute, second) || text.substr(20) != " GMT") {
        return std::nullopt;
    }
    for (int month = 0; month < 12; ++month) {
        if (text.substr(3, 3) == kMonths[month]) {
            return SerialOf(year, month + 1, day, hour, minute, second);
        }
    }
    return std::nullopt;
}

std::string TimeText(double serial, bool withSeconds) {
    if (!std::isfinite(serial)) return "";
    const double whole = std::floor(serial);
    long long seconds = std::llround((serial - whole) * kSecondsPerDay);
    double day = whole;
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    const std::optional<CivilDate> date = CivilFromSerial(day);
    if (!date) return "";
    char text[64];
    if (withSeconds) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02lld:%02lld:%02lld", date->year,
                      date->month, date->day, seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02lld:%02lld", date->year, date->month,
                      date->day, seconds / 3600, seconds / 60 % 60);
    }
    return text;
}

}  // namespace

std::string CoolDownText(const CoolDown& coolDown) {
    return TimeText(coolDown.until, true) + " " + coolDown.source;
}

std::optional<CoolDown> ParseCoolDown(std::string_view text) {
    constexpr std::size_t kTimeLength = 19;
    if (text.size() <= kTimeLength + 1 || text[kTimeLength] != ' ') return std::nullopt;
    const std::optional<double> until = ParseLocalTime(text.substr(0, kTimeLength));
    if (!until) return std::nullopt;
    return CoolDown{*until, std::string(text.substr(kTimeLength + 1))};
}

std::optional<double> ParseLocalTime(std::string_view text) {
    text = Trim(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() != 19 || !ReadNumber(text, 0, 4, year) || text[4] != '-' ||
        !ReadNumber(text, 5, 2, month) || text[7] != '-' || !ReadNumber(text, 8, 2, day) ||
        text[10] != ' ' || !ReadClock(text, 11, hour, minute, second)) {
        return std::nullopt;
    }
    return SerialOf(year, month, day, hour, minute, second);
}

std::string LocalTimeText(double serial) {
    return TimeText(serial, false);
}

std::optional<double> RetryAfterUntil(std::string_view retryAfter, double nowLocal, double nowUtc) {
    retryAfter = Trim(retryAfter);
    if (retryAfter.empty()) return std::nullopt;
    int seconds = 0;
    if (retryAfter.size() <= 9 && ReadNumber(retryAfter, 0, retryAfter.size(), seconds)) {
        return nowLocal + seconds / kSecondsPerDay;
    }
    const std::optional<double> utc = ParseHttpDate(retryAfter);
    if (!utc) return std::nullopt;
    return *utc + (nowLocal - nowUtc);
}

std::optional<double> ActiveCoolDown(const std::optional<CoolDown>& stored, std::string_view source,
                                     double now) {
    if (!stored || stored->source != source) return std::nullopt;
    if (!(stored->until > now) || stored->until - now > kLongestCoolDownDays) return std::nullopt;
    return stored->until;
}

std::string CoolDownReason(double until) {
    return "Reason: the mirror has asked for a pause; no update can start before " +
           LocalTimeText(until) + ".";
}

}  // namespace tolvar
