// The scheduled scan's decisions with a fake clock: when the next run is
// due, a run missed while the program did not run caught up once, the
// battery rule, and the next time across the ends of weeks, months and
// years.

#include <gtest/gtest.h>

#include "protection/scan_schedule.h"

namespace tolvar {
namespace {

LocalMoment At(int year, int month, int day, int hour, int minute) {
    return LocalMoment{year, month, day, hour, minute};
}

ScanSchedule Daily(int hour, int minute) {
    ScanSchedule schedule;
    schedule.frequency = ScheduleFrequency::Daily;
    schedule.minuteOfDay = hour * 60 + minute;
    return schedule;
}

ScanSchedule Weekly(int weekday, int hour, int minute) {
    ScanSchedule schedule = Daily(hour, minute);
    schedule.frequency = ScheduleFrequency::Weekly;
    schedule.weekday = weekday;
    return schedule;
}

constexpr PowerReading kMains{};

// Looks every 30 seconds (every minute here: the clock counts minutes) from
// start to end, as the program's timer does; the moments a run started.
std::vector<LocalMoment> Look(ScheduleLooks& looks, ScanSchedule& schedule, LocalMoment start,
                              LocalMoment end, const PowerReading& power = kMains) {
    std::vector<LocalMoment> started;
    for (LocalMoment now = start; now <= end; now = AddMinutes(now, 1)) {
        if (looks.Decide(schedule, now, power) == ScheduleLooks::Action::Start) {
            started.push_back(now);
            schedule.lastRun = now;
            looks.Started();
        }
    }
    return started;
}

// A wrong day count or weekday would move every weekly run; the year's,
// February's and a leap day's ends are where such faults show.
TEST(ScanScheduleCalendar, NextTimeCrossesWeekMonthAndYearEnds) {
    // 9 December 2026 is a Wednesday.
    EXPECT_EQ(WeekdayOf(At(2026, 12, 9, 10, 0)), 3);
    EXPECT_EQ(WeekdayOf(At(2000, 2, 29, 0, 0)), 2);
    // Daily: later today, or tomorrow once today's time passed (also at
    // exactly that minute: the run of that minute is the last run).
    EXPECT_EQ(NextScheduledTime(Daily(14, 0), At(2026, 12, 9, 10, 0)), At(2026, 12, 9, 14, 0));
    EXPECT_EQ(NextScheduledTime(Daily(14, 0), At(2026, 12, 9, 14, 0)), At(2026, 12, 10, 14, 0));
    EXPECT_EQ(NextScheduledTime(Daily(0, 5), At(2026, 12, 31, 23, 59)), At(2027, 1, 1, 0, 5));
    EXPECT_EQ(NextScheduledTime(Daily(9, 0), At(2028, 2, 28, 10, 0)), At(2028, 2, 29, 9, 0));
    EXPECT_EQ(NextScheduledTime(Daily(9, 0), At(2027, 2, 28, 10, 0)), At(2027, 3, 1, 9, 0));
    EXPECT_EQ(NextScheduledTime(Daily(9, 0), At(2100, 2, 28, 10, 0)), At(2100, 3, 1, 9, 0));
    EXPECT_EQ(NextScheduledTime(Daily(9, 0), At(2026, 4, 30, 23, 0)), At(2026, 5, 1, 9, 0));
    // Weekly on Monday (1): from a Wednesday in December to the next year;
    // on the Monday itself before and after the time; a week on from it.
    EXPECT_EQ(NextScheduledTime(Weekly(1, 8, 30), At(2026, 12, 30, 12, 0)), At(2027, 1, 4, 8, 30));
    EXPECT_EQ(NextScheduledTime(Weekly(1, 8, 30), At(2027, 1, 4, 8, 29)), At(2027, 1, 4, 8, 30));
    EXPECT_EQ(NextScheduledTime(Weekly(1, 8, 30), At(2027, 1, 4, 8, 30)), At(2027, 1, 11, 8, 30));
    // Sunday (0) and Saturday (6), the ends of the system's week count.
    EXPECT_EQ(NextScheduledTime(Weekly(0, 23, 0), At(2026, 12, 9, 0, 0)), At(2026, 12, 13, 23, 0));
    EXPECT_EQ(NextScheduledTime(Weekly(6, 0, 0), At(2026, 12, 12, 0, 0)), At(2026, 12, 19, 0, 0));
    // Off, or a weekday no week has, names no time rather than a wrong one.
    EXPECT_EQ(NextScheduledTime(ScanSchedule{}, At(2026, 12, 9, 0, 0)), std::nullopt);
    EXPECT_EQ(NextScheduledTime(Weekly(7, 0, 0), At(2026, 12, 9, 0, 0)), std::nullopt);
}

// The stored moments and the window's field: text that is not a moment or
// a time must read as none, never as a nearby one.
TEST(ScanScheduleCalendar, StoredMomentsAndTimesOfDayReadBackOrNotAtAll) {
    const LocalMoment leap = At(2028, 2, 29, 23, 59);
    EXPECT_EQ(MomentText(leap), "2028-02-29 23:59");
    EXPECT_EQ(MomentFromText(MomentText(leap)), leap);
    for (const char* bad : {"", "2027-02-29 10:00", "2026-12-09 24:00", "2026-13-01 00:00",
                            "2026-12-09T14:00", "2026-12-9 14:00", "yesterday"})
        EXPECT_EQ(MomentFromText(bad), std::nullopt) << bad;
    EXPECT_EQ(TimeOfDayFromText(" 9:05 "), 9 * 60 + 5);
    EXPECT_EQ(TimeOfDayFromText("23:59"), 23 * 60 + 59);
    EXPECT_EQ(TimeOfDayFromText("00:00"), 0);
    for (const char* bad : {"", "24:00", "12:60", "12:5", "1200", "12:00pm", "-1:00", "123:00"})
        EXPECT_EQ(TimeOfDayFromText(bad), std::nullopt) << bad;
    EXPECT_EQ(TimeOfDayText(9 * 60 + 5), "09:05");
}

// The run of the day starts at its time while the program runs, once: a
// second start at the next look would scan the drives twice.
TEST(ScanScheduleLooks, ADueRunStartsAtItsTimeOnce) {
    ScanSchedule schedule = Daily(14, 0);
    schedule.storedAt = At(2026, 12, 8, 9, 0);
    schedule.lastRun = At(2026, 12, 8, 14, 0);
    ScheduleLooks looks;
    EXPECT_EQ(Look(looks, schedule, At(2026, 12, 9, 13, 0), At(2026, 12, 10, 13, 0)),
              std::vector<LocalMoment>{At(2026, 12, 9, 14, 0)});
}

// Days with the computer off must not queue up one scan per day: one run,
// five minutes after the program starts again, then the days go on.
TEST(ScanScheduleLooks, AMissedRunIsCaughtUpOnceFiveMinutesAfterTheStart) {
    ScanSchedule schedule = Daily(14, 0);
    schedule.storedAt = At(2026, 12, 1, 9, 0);
    schedule.lastRun = At(2026, 12, 2, 14, 0);
    ScheduleLooks looks;  // the program starts on the 9th at 9:00
    EXPECT_EQ(Look(looks, schedule, At(2026, 12, 9, 9, 0), At(2026, 12, 9, 13, 0)),
              std::vector<LocalMoment>{At(2026, 12, 9, 9, 5)});
    // A weekly run missed across the year's end, the same.
    ScanSchedule weekly = Weekly(1, 8, 0);
    weekly.lastRun = At(2026, 12, 21, 8, 0);
    ScheduleLooks afterHolidays;
    EXPECT_EQ(Look(afterHolidays, weekly, At(2027, 1, 6, 10, 0), At(2027, 1, 11, 7, 0)),
              std::vector<LocalMoment>{At(2027, 1, 6, 10, 5)});
}

// A computer that slept through the time (the looks stop, the program
// stays) counts as started anew when it wakes.
TEST(ScanScheduleLooks, ARunSleptThroughWaitsFiveMinutesAfterTheWake) {
    ScanSchedule schedule = Daily(14, 0);
    schedule.lastRun = At(2026, 12, 8, 14, 0);
    ScheduleLooks looks;
    EXPECT_TRUE(Look(looks, schedule, At(2026, 12, 9, 12, 0), At(2026, 12, 9, 13, 0)).empty());
    EXPECT_EQ(Look(looks, schedule, At(2026, 12, 9, 18, 0), At(2026, 12, 9, 19, 0)),
              std::vector<LocalMoment>{At(2026, 12, 9, 18, 5)});
}

// A schedule stored after today's time must not fire at once for a time
// before it was set; one stored before it fires today.
TEST(ScanScheduleLooks, AScheduleStoredAfterItsTimeWaitsForTheNextDay) {
    ScanSchedule late = Daily(14, 0);
    late.storedAt = At(2026, 12, 9, 15, 0);
    ScheduleLooks looks;
    EXPECT_EQ(Look(looks, late, At(2026, 12, 9, 15, 0), At(2026, 12, 10, 15, 0)),
              std::vector<LocalMoment>{At(2026, 12, 10, 14, 0)});
    ScanSchedule early = Daily(14, 0);
    early.storedAt = At(2026, 12, 9, 13, 0);
    ScheduleLooks earlyLooks;
    EXPECT_EQ(Look(earlyLooks, early, At(2026, 12, 9, 13, 0), At(2026, 12, 9, 15, 0)),
              std::vector<LocalMoment>{At(2026, 12, 9, 14, 0)});
    // Never stored nor run (values lost): times before the start are not
    // caught up either.
    ScanSchedule unknown = Daily(8, 0);
    ScheduleLooks unknownLooks;
    EXPECT_TRUE(Look(unknownLooks, unknown, At(2026, 12, 9, 9, 0), At(2026, 12, 9, 23, 0)).empty());
}

// On battery below 30 percent the run waits an hour and asks again; on
// mains power or an unknown battery it runs.
TEST(ScanScheduleLooks, LowBatteryPutsTheRunOffAnHourAndMainsRunsIt) {
    EXPECT_TRUE(BatteryTooLow({true, 29}));
    EXPECT_FALSE(BatteryTooLow({true, 30}));
    EXPECT_FALSE(BatteryTooLow({true, std::nullopt}));
    EXPECT_FALSE(BatteryTooLow({false, 5}));

    ScanSchedule schedule = Daily(14, 0);
    schedule.lastRun = At(2026, 12, 8, 14, 0);
    ScheduleLooks looks;
    EXPECT_TRUE(Look(looks, schedule, At(2026, 12, 9, 13, 0), At(2026, 12, 9, 13, 59)).empty());
    EXPECT_EQ(looks.Decide(schedule, At(2026, 12, 9, 14, 0), {true, 25}),
              ScheduleLooks::Action::Postpone);
    EXPECT_EQ(looks.PostponedUntil(), At(2026, 12, 9, 15, 0));
    // Plugged in meanwhile: still the hour's wait, not a start at once.
    EXPECT_TRUE(Look(looks, schedule, At(2026, 12, 9, 14, 1), At(2026, 12, 9, 14, 59)).empty());
    // Still low at the retry: another hour.
    EXPECT_EQ(looks.Decide(schedule, At(2026, 12, 9, 15, 0), {true, 20}),
              ScheduleLooks::Action::Postpone);
    EXPECT_EQ(Look(looks, schedule, At(2026, 12, 9, 15, 1), At(2026, 12, 9, 17, 0), {true, 50}),
              std::vector<LocalMoment>{At(2026, 12, 9, 16, 0)});
    // A changed schedule takes effect at once, no postponement kept.
    ScheduleLooks changed;
    EXPECT_TRUE(Look(changed, schedule, At(2026, 12, 10, 13, 0), At(2026, 12, 10, 13, 59)).empty());
    schedule.lastRun = At(2026, 12, 9, 16, 0);
    EXPECT_EQ(changed.Decide(schedule, At(2026, 12, 10, 14, 0), {true, 10}),
              ScheduleLooks::Action::Postpone);
    schedule.minuteOfDay = 14 * 60 + 30;
    changed.ScheduleChanged();
    EXPECT_EQ(Look(changed, schedule, At(2026, 12, 10, 14, 1), At(2026, 12, 10, 15, 0)),
              std::vector<LocalMoment>{At(2026, 12, 10, 14, 30)});
}

// The clock changes: a time the change to summer time skips runs once the
// clock is past it; the hour shown twice runs its time once; a clock set
// back from the future does not hold the schedule back for years.
TEST(ScanScheduleLooks, ClockChangesRunTheTimeOnce) {
    ScanSchedule schedule = Daily(2, 30);
    schedule.lastRun = At(2027, 3, 27, 2, 30);
    ScheduleLooks spring;
    EXPECT_TRUE(Look(spring, schedule, At(2027, 3, 28, 1, 0), At(2027, 3, 28, 1, 59)).empty());
    // 2:00 reads 3:00: the program takes the gap for a wake.
    EXPECT_EQ(Look(spring, schedule, At(2027, 3, 28, 3, 0), At(2027, 3, 28, 4, 0)),
              std::vector<LocalMoment>{At(2027, 3, 28, 3, 5)});

    schedule.lastRun = At(2027, 10, 30, 2, 30);
    ScheduleLooks autumn;
    std::vector<LocalMoment> started =
        Look(autumn, schedule, At(2027, 10, 31, 1, 0), At(2027, 10, 31, 2, 59));
    // 3:00 reads 2:00 again.
    const std::vector<LocalMoment> again =
        Look(autumn, schedule, At(2027, 10, 31, 2, 0), At(2027, 10, 31, 4, 0));
    started.insert(started.end(), again.begin(), again.end());
    EXPECT_EQ(started, std::vector<LocalMoment>{At(2027, 10, 31, 2, 30)});

    ScanSchedule setBack = Daily(14, 0);
    setBack.lastRun = At(2031, 1, 1, 14, 0);
    ScheduleLooks looks;
    EXPECT_EQ(Look(looks, setBack, At(2026, 12, 9, 13, 0), At(2026, 12, 9, 15, 0)),
              std::vector<LocalMoment>{At(2026, 12, 9, 14, 0)});
}

}  // namespace
}  // namespace tolvar
