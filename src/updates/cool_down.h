#pragma once

// A mirror's request to wait: an HTTP 429 with its Retry-After, or the
// cool-down ClamAV's updater announces after its mirror refused or limited
// it. No update from that source starts before it ends, neither by hand nor
// by the schedule. Times are local date serials with the time of day as
// their fraction.

#include <optional>
#include <string>
#include <string_view>

namespace tolvar {

// The source of the updater's runs; the program's own download names its
// mirror's address instead, so a cool-down of one mirror never holds back
// another.
inline constexpr const char* kUpdaterSource = "freshclam";

struct CoolDown {
    double until = 0;
    std::string source;
};

// The stored form, "YYYY-MM-DD HH:MM:SS <source>", and back; nothing for a
// text of another shape.
std::string CoolDownText(const CoolDown& coolDown);
std::optional<CoolDown> ParseCoolDown(std::string_view text);

// "YYYY-MM-DD HH:MM:SS" (how the updater prints its cool-down, in local
// time) as a serial; nothing for a text of another shape or an impossible
// date.
std::optional<double> ParseLocalTime(std::string_view text);
// A serial as "YYYY-MM-DD HH:MM", for the failure notice.
std::string LocalTimeText(double serial);

// The end of the wait a Retry-After asks for: whole seconds from now, or an
// HTTP date (GMT), turned into local time by the offset between nowLocal
// and nowUtc. Nothing when it cannot be read.
std::optional<double> RetryAfterUntil(std::string_view retryAfter, double nowLocal, double nowUtc);

// The end of the stored cool-down if it holds for source at now. A stored
// end more than a week ahead is taken for a damaged value (no mirror asks
// that long), so it can never stop the updates for good.
std::optional<double> ActiveCoolDown(const std::optional<CoolDown>& stored, std::string_view source,
                                     double now);

// The failure notice's line for a run refused during a cool-down.
std::string CoolDownReason(double until);

}  // namespace tolvar
