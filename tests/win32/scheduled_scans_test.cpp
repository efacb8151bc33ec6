// The scheduled scan while the program runs, on the real registry and the
// real timer, with the clock and the power source replaced: a due run asked
// for once, a busy program asked again, a run missed while the program did
// not run caught up once five minutes after its start, the battery's hour,
// and the last run kept for the next start. The Protection window's group
// loads and stores the schedule and refuses what it cannot store.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/registry_win.h"
#include "fake_clamd_support.h"
#include "protection/scan_schedule_store_win.h"
#include "protection/scheduled_scans_win.h"
#include "scan/clamd_daemon_win.h"
#include "test_support.h"
#include "ui/protection_settings_window_win.h"

namespace tolvar {
namespace {

LocalMoment At(int year, int month, int day, int hour, int minute) {
    return LocalMoment{year, month, day, hour, minute};
}

// The subkey "schedule" gone, as on a computer where no schedule was set.
void ForgetSchedule() {
    const std::string path = std::string(kRegistryKey) + kScheduleSubkey;
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
}

std::string StoredText(const char* name) {
    return RegistryKey(kScheduleSubkey).ReadText(name);
}

// A value of another type than the program stores, as another program or a
// hand in the registry editor might leave it.
void StoreWrongType(const char* name, const std::string& text) {
    RegistryKey(kScheduleSubkey).WriteText(text, name);
}

void StoreDaily(int hour, int minute, LocalMoment storedAt,
                ScheduleTargets targets = ScheduleTargets::FixedDrives) {
    ScanSchedule schedule;
    schedule.frequency = ScheduleFrequency::Daily;
    schedule.minuteOfDay = hour * 60 + minute;
    schedule.targets = targets;
    schedule.storedAt = storedAt;
    StoreScanSchedule(schedule);
}

class ScheduledRuns : public testing::Test {
protected:
    ScheduledRuns() { ForgetSchedule(); }
    ~ScheduledRuns() override { ForgetSchedule(); }

    // A ScheduledScans on the fake clock and power source, recording what
    // it asks the program to scan; busy answers "no" while set.
    void wire(ScheduledScans& scans) {
        scans.now = [this] { return clock; };
        scans.power = [this] { return power; };
        scans.startScan = [this](const ScheduledTargets& targets) {
            ++asked;
            if (busy) return false;
            started.push_back(targets);
            return true;
        };
        scans.onChange = [this] { ++changes; };
    }

    // Looks every minute from the clock's moment to end, as the timer does.
    void lookUntil(ScheduledScans& scans, LocalMoment end) {
        for (; clock <= end; clock = AddMinutes(clock, 1))
            scans.Tick();
        clock = end;
    }

    LocalMoment clock = At(2026, 12, 9, 9, 0);
    PowerReading power{};
    bool busy = false;
    int asked = 0;
    int changes = 0;
    std::vector<ScheduledTargets> started;
};

// A run asked for at every look after its time would start a scan of the
// drives twice a minute; its start and outcome must outlive the program.
TEST_F(ScheduledRuns, ADueRunIsAskedForOnceAndItsEndIsKeptForTheNextStart) {
    StoreDaily(14, 0, At(2026, 12, 9, 8, 0));
    {
        ScheduledScans scans;
        wire(scans);
        EXPECT_EQ(scans.LastRunWords(), "Last run: never");
        lookUntil(scans, At(2026, 12, 9, 13, 59));
        EXPECT_TRUE(started.empty());
        lookUntil(scans, At(2026, 12, 9, 14, 0));
        ASSERT_EQ(started.size(), 1u);
        EXPECT_TRUE(started[0].fixedDrives);
        EXPECT_TRUE(scans.RunInProgress());
        // Stored at the start: a crash mid-scan does not run it again.
        EXPECT_EQ(StoredText("LastRun"), "2026-12-09 14:00");
        EXPECT_NE(scans.LastRunWords().find("14:00, running"), std::string::npos);
        lookUntil(scans, At(2026, 12, 9, 18, 0));
        scans.RunEnded("2 infection(s) found");
        EXPECT_FALSE(scans.RunInProgress());
        lookUntil(scans, At(2026, 12, 10, 13, 59));
        EXPECT_EQ(started.size(), 1u);
        EXPECT_EQ(StoredText("LastOutcome"), "2 infection(s) found");
        EXPECT_GE(changes, 2);
    }
    // The next start reads the run back and waits for the next day's time.
    ScheduledScans next;
    wire(next);
    EXPECT_NE(next.LastRunWords().find("14:00, 2 infection(s) found"), std::string::npos)
        << next.LastRunWords();
    EXPECT_EQ(next.LastRunWords().rfind("Last run: ", 0), 0u);
    clock = At(2026, 12, 10, 12, 0);
    lookUntil(next, At(2026, 12, 10, 14, 0));
    EXPECT_EQ(started.size(), 2u);
}

// A program that ended mid-run says so rather than showing the run as
// still running or as clean.
TEST_F(ScheduledRuns, ARunTheProgramDidNotSeeEndReadsAsNotFinished) {
    StoreDaily(14, 0, At(2026, 12, 8, 9, 0));
    StoreLastRunStart(At(2026, 12, 8, 14, 0));
    ScheduledScans scans;
    EXPECT_NE(scans.LastRunWords().find("14:00, did not finish"), std::string::npos)
        << scans.LastRunWords();
}

// While a scan or a removal runs the program says no; the run must not be
// lost (nor stored as run): it is asked for again at the next look.
TEST_F(ScheduledRuns, ABusyProgramIsAskedAgainAtTheNextLook) {
    StoreDaily(14, 0, At(2026, 12, 8, 9, 0));
    StoreLastRunStart(At(2026, 12, 8, 14, 0));
    StoreLastRunOutcome("No infections found");
    ScheduledScans scans;
    wire(scans);
    busy = true;
    clock = At(2026, 12, 9, 13, 0);
    lookUntil(scans, At(2026, 12, 9, 14, 2));
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(scans.RunInProgress());
    EXPECT_EQ(StoredText("LastRun"), "2026-12-08 14:00");
    busy = false;
    clock = At(2026, 12, 9, 14, 3);
    lookUntil(scans, At(2026, 12, 9, 15, 0));
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(StoredText("LastRun"), "2026-12-09 14:03");
}

// A week with the computer off gives one run, five minutes after the
// program starts, of the folders last chosen, names beyond ASCII intact.
TEST_F(ScheduledRuns, AMissedRunRunsOnceFiveMinutesAfterTheStart) {
    const std::vector<std::string> folders{"D:\\Zo\xC3\xAB \xD0\x96\\", "C:\\Users\\"};
    StoreLastChosenFolders(folders);
    StoreDaily(14, 0, At(2026, 11, 30, 9, 0), ScheduleTargets::ChosenFolders);
    StoreLastRunStart(At(2026, 12, 2, 14, 0));
    ScheduledScans scans;
    wire(scans);
    lookUntil(scans, At(2026, 12, 9, 9, 4));
    EXPECT_TRUE(started.empty());
    lookUntil(scans, At(2026, 12, 9, 9, 5));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_FALSE(started[0].fixedDrives);
    EXPECT_EQ(started[0].folders, folders);
    scans.RunEnded("No infections found");
    lookUntil(scans, At(2026, 12, 9, 13, 59));
    EXPECT_EQ(started.size(), 1u);
}

// On battery at 25% the run waits an hour, says so, stores nothing, and
// runs at the retry on mains power.
TEST_F(ScheduledRuns, LowBatteryPostponesTheRunAnHour) {
    StoreDaily(14, 0, At(2026, 12, 8, 9, 0));
    StoreLastRunStart(At(2026, 12, 8, 14, 0));
    StoreLastRunOutcome("No infections found");
    ScheduledScans scans;
    wire(scans);
    power = PowerReading{true, 25};
    clock = At(2026, 12, 9, 13, 0);
    lookUntil(scans, At(2026, 12, 9, 14, 0));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(scans.LastRunWords(), "Postponed: on battery (25%), retrying at 15:00");
    EXPECT_EQ(StoredText("LastRun"), "2026-12-08 14:00");
    power = PowerReading{};
    lookUntil(scans, At(2026, 12, 9, 14, 59));
    EXPECT_EQ(asked, 0);
    lookUntil(scans, At(2026, 12, 9, 15, 0));
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(scans.LastRunWords().find("Postponed"), std::string::npos);
}

// A schedule with the folders last chosen, of which none are stored (the
// list removed by hand), must not scan the drives unasked nor fail at every
// look: it records why once.
TEST_F(ScheduledRuns, NoChosenFoldersRecordsAFailureOnce) {
    StoreDaily(14, 0, At(2026, 12, 9, 8, 0), ScheduleTargets::ChosenFolders);
    ScheduledScans scans;
    wire(scans);
    clock = At(2026, 12, 9, 13, 0);
    lookUntil(scans, At(2026, 12, 9, 16, 0));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(StoredText("LastRun"), "2026-12-09 14:00");
    EXPECT_EQ(StoredText("LastOutcome").rfind("Failed: no folders", 0), 0u);
    EXPECT_NE(scans.LastRunWords().find("failed: no folders"), std::string::npos);
}

// The real timer: Apply after a store starts the looks at once (a changed
// schedule takes effect without a restart), and Off or ShutDown stop them.
TEST_F(ScheduledRuns, ApplyStartsTheTimerAndTheDueRunIsAskedFor) {
    ScheduledScans scans(20);
    wire(scans);
    clock = At(2026, 12, 9, 14, 0);
    EXPECT_FALSE(test::PumpUntil([&] { return asked > 0; }, 300));
    StoreDaily(14, 0, At(2026, 12, 9, 13, 30));
    scans.Apply();
    ASSERT_TRUE(test::PumpUntil([&] { return started.size() == 1; }));
    scans.RunEnded("Stopped");
    // Due again tomorrow; the looks go on meanwhile.
    clock = At(2026, 12, 10, 14, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return started.size() == 2; }));
    scans.RunEnded("Stopped");
    scans.ShutDown();
    clock = At(2026, 12, 11, 14, 0);
    EXPECT_FALSE(test::PumpUntil([&] { return started.size() > 2; }, 300));
}

// Stored values of another type read as their defaults (Off, noon),
// never a crash; a last run's time that names no moment reads as never and
// stays as it is.
TEST_F(ScheduledRuns, ValuesOfAnotherTypeReadAsTheDefaults) {
    StoreWrongType("Frequency", "2");
    StoreWrongType("Time", "14:00");
    RegistryKey(kScheduleSubkey).WriteNamedDword("Weekday", 9);
    StoreWrongType("LastRun", "yesterday");
    const ScanSchedule schedule = LoadScanSchedule();
    EXPECT_EQ(schedule.frequency, ScheduleFrequency::Off);
    EXPECT_EQ(schedule.minuteOfDay, kDefaultScheduleMinute);
    EXPECT_EQ(schedule.weekday, kDefaultScheduleWeekday);
    ScheduledScans scans;
    EXPECT_EQ(scans.LastRunWords(), "Last run: never");
    EXPECT_EQ(StoredText("LastRun"), "yesterday");
}

class ScheduleWindow : public ScheduledRuns {
protected:
    ScheduleWindow() : daemon(Options()), window(daemon, realtime) {
        window.setSchedule(&scans);
        wire(scans);
        window.scheduleChanged = [this] {
            ++applied;
            scans.Apply();
        };
    }
    ~ScheduleWindow() override {
        if (window.visible()) window.close();
        daemon.ShutDown();
    }

    static ClamdDaemonOptions Options() {
        ClamdDaemonOptions options;
        options.clamdExe = test::BesideTests("no-clamd.exe");
        options.pollMs = 100;
        return options;
    }

    ClamdDaemon daemon;
    RealtimeProtection realtime{daemon};
    ScheduledScans scans;
    ProtectionSettingsWindow window;
    int applied = 0;
};

// The window shows what is stored, and a damaged value as its default for
// the user to store anew.
TEST_F(ScheduleWindow, ShowsTheStoredScheduleAndDamagedValuesAsDefaults) {
    ScanSchedule weekly;
    weekly.frequency = ScheduleFrequency::Weekly;
    weekly.weekday = 5;  // Friday
    weekly.minuteOfDay = 7 * 60 + 45;
    weekly.targets = ScheduleTargets::ChosenFolders;
    StoreScanSchedule(weekly);
    StoreLastRunStart(At(2026, 12, 4, 7, 45));
    StoreLastRunOutcome("No infections found");
    scans.Apply();
    window.ShowSettings();
    EXPECT_EQ(window.FrequencyGroup.itemIndex(), 2);
    EXPECT_EQ(window.WeekdayGroup.itemIndex(), 4);
    EXPECT_TRUE(window.WeekdayGroup.enabled());
    EXPECT_EQ(window.TimeEdit.text(), "07:45");
    EXPECT_EQ(window.TargetsGroup.itemIndex(), 1);
    EXPECT_EQ(window.LastRunText.caption(), scans.LastRunWords());
    EXPECT_NE(window.LastRunText.caption().find("07:45, no infections found"), std::string::npos);
    window.close();

    StoreWrongType("Frequency", "Weekly");
    StoreWrongType("Time", "07:45");
    window.ShowSettings();
    EXPECT_EQ(window.FrequencyGroup.itemIndex(), 0);
    EXPECT_FALSE(window.WeekdayGroup.enabled());
    EXPECT_EQ(window.TimeEdit.text(), "12:00");
    // Every control of the group lies inside the window.
    RECT client;
    GetClientRect(window.handle(), &client);
    const Bounds& group = window.ScheduleGroup.bounds();
    EXPECT_TRUE(group.right() <= client.right && group.bottom() <= client.bottom);
    EXPECT_LE(group.bottom(), window.OkButton.bounds().top);
}

// OK refuses a time that is no time and the folders last chosen while none
// were ever chosen, storing nothing; then stores what it shows, dated now,
// and the program applies it.
TEST_F(ScheduleWindow, OkRefusesWhatItCannotStoreThenStoresAndApplies) {
    clock = At(2026, 12, 9, 15, 0);
    window.ShowSettings();
    window.FrequencyGroup.setItemIndex(1);
    window.TimeEdit.setText("25:00");
    window.OkButton.click();
    EXPECT_TRUE(window.visible());
    EXPECT_NE(window.ScheduleProblem.caption().find("HH:MM"), std::string::npos);
    EXPECT_EQ(window.keyboard().focused(), &window.TimeEdit);
    EXPECT_EQ(LoadScanSchedule().frequency, ScheduleFrequency::Off);

    window.TimeEdit.setText(" 9:30 ");
    window.TargetsGroup.setItemIndex(1);
    window.OkButton.click();
    EXPECT_TRUE(window.visible());
    EXPECT_NE(window.ScheduleProblem.caption().find("no folders were chosen"), std::string::npos);
    EXPECT_EQ(LoadScanSchedule().frequency, ScheduleFrequency::Off);
    EXPECT_EQ(applied, 0);

    StoreLastChosenFolders({"D:\\Photos\\"});
    window.OkButton.click();
    EXPECT_FALSE(window.visible());
    const ScanSchedule stored = LoadScanSchedule();
    EXPECT_EQ(stored.frequency, ScheduleFrequency::Daily);
    EXPECT_EQ(stored.minuteOfDay, 9 * 60 + 30);
    EXPECT_EQ(stored.targets, ScheduleTargets::ChosenFolders);
    EXPECT_EQ(stored.storedAt, clock);
    EXPECT_EQ(applied, 1);
    // Stored at 15:00 after the day's 9:30: the first run is tomorrow's.
    lookUntil(scans, At(2026, 12, 10, 9, 29));
    EXPECT_TRUE(started.empty());
    lookUntil(scans, At(2026, 12, 10, 9, 30));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].folders, std::vector<std::string>{"D:\\Photos\\"});

    // Weekly on Sunday, the last of the list and the system's day 0.
    window.ShowSettings();
    window.FrequencyGroup.setItemIndex(2);
    window.WeekdayGroup.setItemIndex(6);
    window.OkButton.click();
    EXPECT_EQ(LoadScanSchedule().weekday, 0);
    EXPECT_EQ(LoadScanSchedule().frequency, ScheduleFrequency::Weekly);
    EXPECT_EQ(applied, 2);
}

}  // namespace
}  // namespace tolvar
