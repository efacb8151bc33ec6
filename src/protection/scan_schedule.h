#pragma once

// The scheduled scan: the record the user sets (Off, Daily or Weekly on a
// weekday, at a time of day, of all fixed drives or of the folders last
// chosen in the folder chooser) and the decisions taken on it at each look
// of the program's timer. Portable: the local date and time are passed in,
// never read here.
//
// Times are local civil times (what the computer's clock shows), compared
// as they read. A time of day that a change to summer time skips is run at
// the first look after the clock jumped past it; one that the change back
// shows twice runs at its first showing only, since the run's stored time
// then lies after the second.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// A local date and time to the minute, as the computer's clock shows it.
struct LocalMoment {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;

    friend bool operator==(const LocalMoment&, const LocalMoment&) = default;
};

// Minutes since 1 January of the year 1 of the proleptic Gregorian
// calendar, for comparing and counting; and back.
std::int64_t MinutesOf(const LocalMoment& moment);
LocalMoment MomentOfMinutes(std::int64_t minutes);
LocalMoment AddMinutes(const LocalMoment& moment, std::int64_t minutes);
inline bool operator<(const LocalMoment& a, const LocalMoment& b) {
    return MinutesOf(a) < MinutesOf(b);
}
inline bool operator<=(const LocalMoment& a, const LocalMoment& b) {
    return MinutesOf(a) <= MinutesOf(b);
}
// 0 for Sunday to 6 for Saturday, as the system counts the days.
int WeekdayOf(const LocalMoment& moment);

// As stored: "2026-12-09 14:00"; nothing for text that is not such a moment
// (a month without that day, an hour past 23).
std::string MomentText(const LocalMoment& moment);
std::optional<LocalMoment> MomentFromText(std::string_view text);

// A time of day as the window shows it, "14:00", and the minutes after
// midnight a field's text stands for: H:MM or HH:MM, blanks around it
// allowed; nothing for anything else.
std::string TimeOfDayText(int minuteOfDay);
std::optional<int> TimeOfDayFromText(std::string_view text);

enum class ScheduleFrequency : std::uint32_t { Off = 0, Daily = 1, Weekly = 2 };
enum class ScheduleTargets : std::uint32_t { FixedDrives = 0, ChosenFolders = 1 };

inline constexpr int kDefaultScheduleWeekday = 1;       // Monday
inline constexpr int kDefaultScheduleMinute = 12 * 60;  // noon
inline constexpr int kMissedRunDelayMinutes = 5;        // after a start or a wake
inline constexpr int kBatteryRetryMinutes = 60;
inline constexpr int kLowBatteryPercent = 30;

struct ScanSchedule {
    ScheduleFrequency frequency = ScheduleFrequency::Off;
    int weekday = kDefaultScheduleWeekday;  // 0 Sunday .. 6 Saturday; Weekly only
    int minuteOfDay = kDefaultScheduleMinute;
    ScheduleTargets targets = ScheduleTargets::FixedDrives;
    // When the user last stored the frequency, weekday or time: no time
    // before it is caught up. The last run's start. Either may be unknown.
    std::optional<LocalMoment> storedAt;
    std::optional<LocalMoment> lastRun;
};

// The first time the schedule names strictly after the moment; nothing
// while it is off.
std::optional<LocalMoment> NextScheduledTime(const ScanSchedule& schedule,
                                             const LocalMoment& after);

// The moment from which the next run may start: the next scheduled time
// after the last run (or after the store, whichever came later; after
// awakeSince when neither is known). A time that passed before awakeSince
// (the program did not run, or the computer was off or asleep) is caught
// up once, kMissedRunDelayMinutes after awakeSince, however many times
// passed. A last run or store more than two hours after now (a clock set
// back) is not waited for: the schedule counts from awakeSince, as one of
// unknown age. Nothing while the schedule is off.
std::optional<LocalMoment> RunMoment(const ScanSchedule& schedule, const LocalMoment& awakeSince,
                                     const LocalMoment& now);

// The power source: on battery with a known charge, or not.
struct PowerReading {
    bool onBattery = false;
    std::optional<int> percent;  // unknown when absent
};

// A run waits for mains power or more charge: only on battery below
// kLowBatteryPercent; an unknown battery never holds a run back.
bool BatteryTooLow(const PowerReading& power);

// The decisions at the timer's looks, with what they remember between
// looks: since when the program is awake (its start, or a wake from sleep
// seen as a gap between looks) and a run put off for the battery.
class ScheduleLooks {
public:
    enum class Action { Wait, Start, Postpone };

    // What to do at a look at now. Postpone: the battery holds the run back
    // until PostponedUntil(); Start: the caller starts the run (or, busy,
    // asks again at the next look) and calls Started() when it did.
    Action Decide(const ScanSchedule& schedule, const LocalMoment& now, const PowerReading& power);
    void Started() { postponedUntil_.reset(); }
    // A changed schedule takes effect at once, with no postponement left.
    void ScheduleChanged() { postponedUntil_.reset(); }
    const std::optional<LocalMoment>& PostponedUntil() const { return postponedUntil_; }

    // Looks further apart than this mean the computer slept (or the clock
    // was put forward): the program counts as started anew.
    static constexpr int kWakeGapMinutes = 3;

private:
    std::optional<LocalMoment> awakeSince_;
    std::optional<LocalMoment> lastLook_;
    std::optional<LocalMoment> postponedUntil_;
};

}  // namespace tolvar
