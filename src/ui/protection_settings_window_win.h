#pragma once

// The Protection Settings window: the scan engine in use and its state in
// words (kept current while the window is open), whether the program keeps
// its own clamd loaded, and the engine setting (empty for the program's
// choice, "clamscan", or the address of a clamd). OK stores both and applies
// them; an address the program cannot read is refused with a word and
// nothing is stored. Below it, how many days the vault keeps its copies
// (0 for ever), refused with a word in the same way, and real-time
// protection: its check box, its state in words, the folders it watches and
// its recent events, newest first; OK stores the check box and the folders
// and applies them. The engine is the
// window's first group; the groups of further protection settings stack
// below it. The exclusions (exclusion_settings_win.h) stand in a column of
// their own to the right; OK stores them first. Below them, the scheduled
// scan: Off, Daily or Weekly on a weekday, at a time (HH:MM, refused with a
// word when it is no time), of all fixed drives or of the folders last
// chosen in the folder chooser (refused with a word while none were ever
// chosen), and the last run's time and outcome; OK stores it and tells
// scheduleChanged.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/button_win.h"
#include "framework/check_box_win.h"
#include "framework/edit_win.h"
#include "framework/form_win.h"
#include "framework/group_box_win.h"
#include "framework/label_win.h"
#include "framework/list_box_win.h"
#include "framework/radio_group_win.h"
#include "protection/realtime_protection_win.h"
#include "protection/scheduled_scans_win.h"
#include "scan/clamd_daemon_win.h"
#include "ui/exclusion_settings_win.h"

namespace tolvar {

class ProtectionSettingsWindow : public Form {
public:
    ProtectionSettingsWindow(ClamdDaemon& daemon, RealtimeProtection& realtime);

    // Opens the window centred and on top, its controls loaded from the
    // stored settings; one already open is only brought forward.
    void ShowSettings();
    // Shows the engine's state as the daemon knows it now, and real-time
    // protection's state and recent events, and the scheduled scan's last
    // run; the program calls it on every change of any while the window is
    // open.
    void RefreshState();
    // The scheduled scans whose last run the window shows (and whose clock
    // dates a stored schedule); none shows the stored last run.
    void setSchedule(ScheduledScans* schedule) { schedule_ = schedule; }

    GroupBox& EngineGroup;  // "Scan Engine"
    Label& EngineCaption;   // "Engine in use:"
    Label& EngineText;
    Label& StateCaption;  // "State:"
    Label& StateText;
    Label& NoteText;  // a stored setting the program could not read
    CheckBox& KeepLoaded;
    Label& AddressCaption;  // "Engine:"
    Edit& AddressEdit;
    Label& AddressHint;
    Label& AddressProblem;    // why OK refused the field's text
    GroupBox& VaultGroup;     // "Quarantine Vault"
    Label& VaultDaysCaption;  // "Delete vaulted files after"
    Edit& VaultDaysEdit;
    Label& VaultDaysUnit;         // "days (0 keeps them for ever)"
    Label& VaultDaysProblem;      // why OK refused the days
    GroupBox& RealtimeGroup;      // "Real-time Protection"
    CheckBox& RealtimeCheck;      // "Real-time protection"
    Label& RealtimeStateCaption;  // "State:"
    Label& RealtimeStateText;
    Label& WatchedCaption;  // "Watched folders:"
    ListBox& WatchedList;
    Button& AddWatchedButton;     // "Add Folder..."
    Button& RemoveWatchedButton;  // "Remove"
    Label& EventsCaption;         // "Recent events:"
    ListBox& EventsList;          // newest first
    ExclusionSettings Exclusions;
    GroupBox& ScheduleGroup;     // "Scheduled Scan"
    RadioGroup& FrequencyGroup;  // "Scheduled scan:" Off, Daily, Weekly
    RadioGroup& WeekdayGroup;    // Monday to Sunday; Weekly only
    Label& TimeCaption;          // "Time (HH:MM):"
    Edit& TimeEdit;
    RadioGroup& TargetsGroup;  // "Scan:" all fixed drives, the folders last chosen
    Label& ScheduleProblem;    // why OK refused the schedule
    Label& LastRunText;
    Button& OkButton;
    Button& CancelButton;

    // The folder picker behind the watched folders' "Add Folder..."; ""
    // when cancelled.
    std::function<std::string()> chooseWatchedFolder;
    // The schedule was stored: the program applies it.
    std::function<void()> scheduleChanged;

private:
    void FormShow();
    void OkClick();
    // The vault group: the stored days shown, and the field's days checked
    // (nothing, with why shown, when OK must refuse them).
    void ShowVaultDays();
    std::optional<std::uint32_t> CheckedVaultDays();

    // The watched folders and events shown, as the window loaded them.
    void ShowWatchedFolders();
    void ShowEvents();
    std::vector<std::string> WatchedInList() const;
    // The scheduled scan: the stored one shown, and the fields' checked
    // (nothing, with why shown, when OK must refuse them).
    void ShowSchedule();
    std::optional<ScanSchedule> CheckedSchedule();
    void ShowLastRun();
    void AddWatchedFolder();
    void RemoveWatchedFolder();

    ClamdDaemon& daemon_;
    RealtimeProtection& realtime_;
    // As Load() found them: an unchanged list is not stored, so that the
    // defaults keep following the user's known folders.
    std::vector<std::string> shownWatched_;
    std::vector<RealtimeEvent> shownEvents_;
    ScheduledScans* schedule_ = nullptr;
    // As Load() found it: the time it was stored changes only with its
    // frequency, weekday or time.
    ScanSchedule shownSchedule_;
};

}  // namespace tolvar
