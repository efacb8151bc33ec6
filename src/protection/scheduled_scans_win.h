#pragma once

// The scheduled scan while the program runs (in the tray with real-time
// protection, or started by the logon task): kept on the UI thread, it
// looks at the stored schedule about every 30 seconds and asks the program
// to start a scan when one is due (scan_schedule.h decides when). A run's
// start is stored when it starts, so a program that ends mid-scan does not
// run it again at every start; its outcome when it ends. A run held back
// for the battery stores nothing and is asked again an hour later.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/timer_win.h"
#include "protection/scan_schedule.h"
#include "protection/scan_schedule_store_win.h"

namespace tolvar {

// What a scheduled run scans: all fixed drives, or the folders (each ending
// with a backslash).
struct ScheduledTargets {
    bool fixedDrives = true;
    std::vector<std::string> folders;
};

class ScheduledScans {
public:
    static constexpr unsigned kLookMs = 30'000;

    // Reads the stored schedule and looks at it every lookMs while it is
    // not Off. The first look counts as the program's start.
    explicit ScheduledScans(unsigned lookMs = kLookMs);
    ScheduledScans(const ScheduledScans&) = delete;
    ScheduledScans& operator=(const ScheduledScans&) = delete;

    // Reads the stored schedule again (after the window stored it): it takes
    // effect at once, with no battery postponement left. Starts or stops
    // the looks.
    void Apply();
    void ShutDown();

    // Asked when a run is due; false when the program is busy (a scan or a
    // removal running): asked again at the next look.
    std::function<bool(const ScheduledTargets&)> startScan;
    // How the scheduled run ended, in the program's words ("No infections
    // found", "2 infection(s) found", "Failed: ...", "Stopped"); also from
    // inside startScan, for a scan that ended before it began.
    void RunEnded(const std::string& outcome);
    // A run was started and RunEnded not yet called.
    bool RunInProgress() const { return running_; }
    // The last run's words changed.
    std::function<void()> onChange;
    // "Last run: 09/12/2026 14:00, no infections found", "Last run: never",
    // or why a run waits ("Postponed: on battery (25%), retrying at 15:00").
    std::string LastRunWords() const;

    // The local time and the power source; tests replace them.
    std::function<LocalMoment()> now;
    std::function<PowerReading()> power;

    // One look: what the timer does.
    void Tick();

private:
    void Changed();
    void StartRun(const LocalMoment& at);

    ScanSchedule schedule_;
    LastScheduledRun last_;
    ScheduleLooks looks_;
    bool running_ = false;
    // Set while startScan runs: a scan that cannot begin ends inside it, and
    // its end (kept here) belongs to the run being started.
    bool starting_ = false;
    std::string endedWhileStarting_;
    bool shutDown_ = false;
    // The reading that held the run back, while it is held back.
    std::optional<PowerReading> heldBackBy_;
    Timer timer_;
};

// "Last run: 09/12/2026 14:00, no infections found" (the date in the
// user's short format), "..., running", "..., did not finish" (the program
// ended during it) or "Last run: never".
std::string LastRunWordsOf(const LastScheduledRun& last, bool running);

// The system's local time and power source.
LocalMoment SystemLocalMoment();
PowerReading SystemPowerReading();

}  // namespace tolvar
