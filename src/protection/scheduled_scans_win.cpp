#include "protection/scheduled_scans_win.h"

#include <windows.h>

#include <cctype>
#include <exception>

#include "core/clock.h"
#include "core/date_serial.h"

namespace tolvar {

namespace {

constexpr const char* kNoFolders = "Failed: no folders were chosen in the folder chooser";

// The program's outcome words inside a sentence: "No infections found"
// reads "no infections found".
std::string InSentence(std::string words) {
    if (words.size() > 1 && std::isupper(static_cast<unsigned char>(words[0])) &&
        !std::isupper(static_cast<unsigned char>(words[1])))
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return words;
}

std::string DateAndTime(const LocalMoment& moment) {
    std::string date;
    try {
        date = ShortDateOf(DateSerial(moment.year, moment.month, moment.day));
    } catch (const std::exception&) {
    }
    if (date.empty()) return MomentText(moment);
    return date + " " + TimeOfDayText(moment.hour * 60 + moment.minute);
}

}  // namespace

LocalMoment SystemLocalMoment() {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return LocalMoment{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute};
}

PowerReading SystemPowerReading() {
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status)) return {};
    PowerReading reading;
    // 0 is off the mains; 1 on it, 255 unknown.
    reading.onBattery = status.ACLineStatus == 0;
    if (status.BatteryLifePercent <= 100) reading.percent = status.BatteryLifePercent;
    return reading;
}

ScheduledScans::ScheduledScans(unsigned lookMs)
    : now(SystemLocalMoment), power(SystemPowerReading), timer_(lookMs, false) {
    timer_.onTimer = [this] { Tick(); };
    Apply();
}

void ScheduledScans::Apply() {
    const std::optional<LocalMoment> lastRun = schedule_.lastRun;
    schedule_ = LoadScanSchedule();
    // A run whose start could not be stored still counts in this session.
    if (lastRun && (!schedule_.lastRun || *schedule_.lastRun < *lastRun)) {
        schedule_.lastRun = lastRun;
    } else {
        last_ = LoadLastScheduledRun();
    }
    looks_.ScheduleChanged();
    heldBackBy_.reset();
    timer_.setEnabled(!shutDown_ && schedule_.frequency != ScheduleFrequency::Off);
}

void ScheduledScans::ShutDown() {
    shutDown_ = true;
    timer_.setEnabled(false);
}

void ScheduledScans::Tick() {
    if (running_ || shutDown_) return;
    const LocalMoment at = now();
    const PowerReading reading = power ? power() : PowerReading{};
    switch (looks_.Decide(schedule_, at, reading)) {
        case ScheduleLooks::Action::Wait:
            return;
        case ScheduleLooks::Action::Postpone:
            heldBackBy_ = reading;
            Changed();
            return;
        case ScheduleLooks::Action::Start:
            StartRun(at);
            return;
    }
}

void ScheduledScans::StartRun(const LocalMoment& at) {
    ScheduledTargets targets;
    if (schedule_.targets == ScheduleTargets::ChosenFolders) {
        targets.fixedDrives = false;
        targets.folders = LastChosenFolders();
    }
    const bool nothingToScan = !targets.fixedDrives && targets.folders.empty();
    if (!nothingToScan) {
        // Running before the scan is asked for, so that an end told at once
        // reaches this run.
        running_ = true;
        starting_ = true;
        endedWhileStarting_.clear();
        const bool started = startScan && startScan(targets);
        starting_ = false;
        if (!started) {
            running_ = false;  // busy: the next look
            return;
        }
    }
    looks_.Started();
    heldBackBy_.reset();
    schedule_.lastRun = at;
    last_ = {at, nothingToScan ? kNoFolders : endedWhileStarting_};
    Changed();
    // Kept in memory first: a failed store neither repeats the run in this
    // session nor loses its outcome; the error report says why.
    StoreLastRunStart(at);
    if (!last_.outcome.empty()) StoreLastRunOutcome(last_.outcome);
}

void ScheduledScans::RunEnded(const std::string& outcome) {
    if (!running_) return;
    running_ = false;
    if (starting_) {
        endedWhileStarting_ = outcome;
        return;
    }
    last_.outcome = outcome;
    Changed();
    StoreLastRunOutcome(outcome);
}

void ScheduledScans::Changed() {
    if (onChange) onChange();
}

std::string ScheduledScans::LastRunWords() const {
    const std::optional<LocalMoment>& until = looks_.PostponedUntil();
    if (heldBackBy_ && until) {
        std::string words = "Postponed: on battery";
        if (heldBackBy_->percent) words += " (" + std::to_string(*heldBackBy_->percent) + "%)";
        return words + ", retrying at " + TimeOfDayText(until->hour * 60 + until->minute);
    }
    return LastRunWordsOf(last_, running_);
}

std::string LastRunWordsOf(const LastScheduledRun& last, bool running) {
    if (!last.time) return "Last run: never";
    std::string words = "Last run: " + DateAndTime(*last.time) + ", ";
    if (running) return words + "running";
    if (last.outcome.empty()) return words + "did not finish";
    return words + InSentence(last.outcome);
}

}  // namespace tolvar
