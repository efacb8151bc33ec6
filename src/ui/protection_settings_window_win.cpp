#include "ui/protection_settings_window_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/path_compare.h"
#include "protection/realtime_events_win.h"
#include "protection/realtime_setting_win.h"
#include "protection/scan_schedule_store_win.h"
#include "quarantine/vault_clean_up.h"
#include "scan/choose_folder.h"
#include "scan/engine_setting.h"
#include "ui/theme_win.h"

namespace tolvar {

namespace {

// The classic dialog font: 8 points at 96 dots per inch.
constexpr int kDialogFontHeight = 11;
// The engine's column; the exclusions' column stands to its right.
constexpr int kEngineColumnWidth = 520;
constexpr int kMargin = 8;
constexpr int kInset = 12;
constexpr int kCaptionWidth = 84;
constexpr int kLineHeight = 14;
constexpr int kFieldHeight = 21;
constexpr int kCaptionDrop = 4;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 25;

// Inside the engine group, from its top.
constexpr int kEngineRow = 22;
constexpr int kStateRow = kEngineRow + 20;
constexpr int kStateHeight = 2 * kLineHeight;
constexpr int kNoteRow = kStateRow + kStateHeight + 4;
constexpr int kNoteHeight = 2 * kLineHeight;
constexpr int kKeepRow = kNoteRow + kNoteHeight + 6;
constexpr int kAddressRow = kKeepRow + 28;
constexpr int kHintRow = kAddressRow + kFieldHeight + 4;
// The hint takes three lines at the dialog font.
constexpr int kHintHeight = 3 * kLineHeight;
constexpr int kProblemRow = kHintRow + kHintHeight + 2;
constexpr int kEngineGroupHeight = kProblemRow + 2 * kLineHeight + 8;

constexpr int kGroupWidth = kEngineColumnWidth - 2 * kMargin;
constexpr int kInnerWidth = kGroupWidth - 2 * kInset;
constexpr int kValueLeft = kInset + kCaptionWidth;
constexpr int kValueWidth = kGroupWidth - kValueLeft - kInset;

// Inside the vault group, from its top.
constexpr int kDaysRow = 22;
constexpr int kDaysCaptionWidth = 140;
constexpr int kDaysFieldWidth = 56;
constexpr int kDaysProblemRow = kDaysRow + kFieldHeight + 4;
constexpr int kVaultGroupHeight = kDaysProblemRow + kLineHeight + 8;

// Inside the real-time group, from its top. The lists' buttons stand to
// their right.
constexpr int kRowHeight = 16;
constexpr int kRealtimeCheckRow = 22;
constexpr int kRealtimeStateRow = kRealtimeCheckRow + 24;
constexpr int kWatchedCaptionRow = kRealtimeStateRow + kLineHeight + 10;
constexpr int kWatchedRow = kWatchedCaptionRow + kLineHeight + 4;
constexpr int kWatchedHeight = 4 * kRowHeight + 4;
constexpr int kEventsCaptionRow = kWatchedRow + kWatchedHeight + 10;
constexpr int kEventsRow = kEventsCaptionRow + kLineHeight + 4;
constexpr int kEventsHeight = 6 * kRowHeight + 4;
constexpr int kRealtimeGroupHeight = kEventsRow + kEventsHeight + 12;
constexpr int kListButtonWidth = 100;
constexpr int kWatchedWidth = kInnerWidth - kListButtonWidth - kMargin;
constexpr int kListButtonLeft = kInset + kWatchedWidth + kMargin;

// Inside the scheduled scan's group, from its top: the frequency with the
// time below it, the weekdays to their right, then the targets, why OK
// refused, and the last run.
constexpr int kRadioRow = 20;
constexpr int kFrequencyWidth = 130;
constexpr int kFrequencyHeight = 16 + 3 * 20 + 4;
constexpr int kWeekdayLeft = kInset + kFrequencyWidth + kMargin;
constexpr int kWeekdayHeight = 16 + 7 * 17 + 4;
constexpr int kTimeCaptionRow = kRadioRow + kFrequencyHeight + 8;
constexpr int kTimeRow = kTimeCaptionRow + kLineHeight + 4;
constexpr int kTimeWidth = 60;
constexpr int kTargetsRow = kRadioRow + kWeekdayHeight + 6;
constexpr int kTargetsHeight = 16 + 2 * 20 + 4;
constexpr int kScheduleProblemRow = kTargetsRow + kTargetsHeight + 4;
constexpr int kLastRunRow = kScheduleProblemRow + 2 * kLineHeight + 2;
constexpr int kScheduleGroupHeight = kLastRunRow + 2 * kLineHeight + 8;

// The groups stack from the top in each column; the buttons follow the
// longer column.
constexpr int kVaultGroupTop = kMargin + kEngineGroupHeight + kMargin;
constexpr int kRealtimeGroupTop = kVaultGroupTop + kVaultGroupHeight + kMargin;
constexpr int kExclusionsLeft = kEngineColumnWidth;
constexpr int kClientWidth = kExclusionsLeft + ExclusionSettings::kWidth + kMargin;
constexpr int kScheduleGroupWidth = ExclusionSettings::kWidth;
constexpr int kScheduleInnerWidth = kScheduleGroupWidth - 2 * kInset;
constexpr int kWeekdayWidth = kScheduleGroupWidth - kWeekdayLeft - kInset;

int ScheduleGroupTop() {
    return kMargin + ExclusionSettings::Height() + kMargin;
}

int ButtonsTop() {
    return std::max(kRealtimeGroupTop + kRealtimeGroupHeight,
                    ScheduleGroupTop() + kScheduleGroupHeight) +
           kMargin;
}

int ClientHeight() {
    return ButtonsTop() + kButtonHeight + kMargin;
}

FontSpec DialogFont() {
    return FontSpec{theme::kFontName, kDialogFontHeight};
}

Label& AddText(WindowedControl& parent, int left, int top, int width, int height,
               const std::string& text = "") {
    Label& label = parent.add<Label>(left, top, width, height, text);
    label.setFont(DialogFont());
    if (height > kLineHeight) label.setWordWrap(true);
    return label;
}

// The weekdays as the window lists them, Monday first; the system counts
// from Sunday (0).
const std::vector<std::string>& WeekdayNames() {
    static const std::vector<std::string> names{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                "Friday", "Saturday", "Sunday"};
    return names;
}
int WeekdayOfItem(int item) {
    return (item + 1) % 7;
}
int ItemOfWeekday(int weekday) {
    return (weekday + 6) % 7;
}

// A row of the recent events: when, what, what was done, and where.
std::string EventRow(const RealtimeEvent& event) {
    return event.time + "   " + event.detection + "   " + event.action + "   " + event.file;
}

}  // namespace

ProtectionSettingsWindow::ProtectionSettingsWindow(ClamdDaemon& daemon,
                                                   RealtimeProtection& realtime)
    : Form("Protection Settings", kClientWidth, ClientHeight(), BorderStyle::Dialog),
      EngineGroup(add<GroupBox>(kMargin, kMargin, kGroupWidth, kEngineGroupHeight, "Scan Engine")),
      EngineCaption(
          AddText(EngineGroup, kInset, kEngineRow, kCaptionWidth, kLineHeight, "Engine in use:")),
      EngineText(AddText(EngineGroup, kValueLeft, kEngineRow, kValueWidth, kLineHeight)),
      StateCaption(AddText(EngineGroup, kInset, kStateRow, kCaptionWidth, kLineHeight, "State:")),
      StateText(AddText(EngineGroup, kValueLeft, kStateRow, kValueWidth, kStateHeight)),
      NoteText(AddText(EngineGroup, kInset, kNoteRow, kInnerWidth, kNoteHeight)),
      KeepLoaded(EngineGroup.add<CheckBox>(
          kInset, kKeepRow, kInnerWidth, 17,
          "Keep the scan engine loaded (faster scans; uses about 1 GB of memory)")),
      AddressCaption(AddText(EngineGroup, kInset, kAddressRow + kCaptionDrop, kCaptionWidth,
                             kLineHeight, "Engine:")),
      AddressEdit(EngineGroup.add<Edit>(kValueLeft, kAddressRow, kValueWidth, kFieldHeight)),
      AddressHint(AddText(EngineGroup, kValueLeft, kHintRow, kValueWidth, kHintHeight,
                          "Empty: the program chooses (its own engine when it is loaded, "
                          "otherwise clamscan). \"clamscan\": always clamscan. HOST:PORT: the "
                          "clamd at that address.")),
      AddressProblem(AddText(EngineGroup, kValueLeft, kProblemRow, kValueWidth, 2 * kLineHeight)),
      VaultGroup(add<GroupBox>(kMargin, kVaultGroupTop, kGroupWidth, kVaultGroupHeight,
                               "Quarantine Vault")),
      VaultDaysCaption(AddText(VaultGroup, kInset, kDaysRow + kCaptionDrop, kDaysCaptionWidth,
                               kLineHeight, "Delete vaulted files after")),
      VaultDaysEdit(VaultGroup.add<Edit>(kInset + kDaysCaptionWidth, kDaysRow, kDaysFieldWidth,
                                         kFieldHeight)),
      VaultDaysUnit(AddText(VaultGroup, kInset + kDaysCaptionWidth + kDaysFieldWidth + 6,
                            kDaysRow + kCaptionDrop,
                            kInnerWidth - kDaysCaptionWidth - kDaysFieldWidth - 6, kLineHeight,
                            "days (0 keeps them for ever)")),
      VaultDaysProblem(AddText(VaultGroup, kInset, kDaysProblemRow, kInnerWidth, kLineHeight)),
      RealtimeGroup(add<GroupBox>(kMargin, kRealtimeGroupTop, kGroupWidth, kRealtimeGroupHeight,
                                  "Real-time Protection")),
      RealtimeCheck(RealtimeGroup.add<CheckBox>(kInset, kRealtimeCheckRow, kInnerWidth, 17,
                                                "Real-time &protection")),
      RealtimeStateCaption(
          AddText(RealtimeGroup, kInset, kRealtimeStateRow, kCaptionWidth, kLineHeight, "State:")),
      RealtimeStateText(
          AddText(RealtimeGroup, kValueLeft, kRealtimeStateRow, kValueWidth, kLineHeight)),
      WatchedCaption(AddText(RealtimeGroup, kInset, kWatchedCaptionRow, kInnerWidth, kLineHeight,
                             "Watched folders (with what lies below them):")),
      WatchedList(RealtimeGroup.add<ListBox>(kInset, kWatchedRow, kWatchedWidth, kWatchedHeight,
                                             SelectionMode::Single, kRowHeight)),
      AddWatchedButton(RealtimeGroup.add<Button>(kListButtonLeft, kWatchedRow, kListButtonWidth,
                                                 kButtonHeight, "&Add Folder...")),
      RemoveWatchedButton(RealtimeGroup.add<Button>(kListButtonLeft,
                                                    kWatchedRow + kButtonHeight + 6,
                                                    kListButtonWidth, kButtonHeight, "&Remove")),
      EventsCaption(AddText(RealtimeGroup, kInset, kEventsCaptionRow, kInnerWidth, kLineHeight,
                            "Recent events, newest first:")),
      EventsList(RealtimeGroup.add<ListBox>(kInset, kEventsRow, kInnerWidth, kEventsHeight,
                                            SelectionMode::Single, kRowHeight)),
      Exclusions(*this, kExclusionsLeft, kMargin),
      ScheduleGroup(add<GroupBox>(kExclusionsLeft, ScheduleGroupTop(), kScheduleGroupWidth,
                                  kScheduleGroupHeight, "Scheduled Scan")),
      FrequencyGroup(ScheduleGroup.add<RadioGroup>(
          kInset, kRadioRow, kFrequencyWidth, kFrequencyHeight,
          "Scheduled scan:", std::vector<std::string>{"&Off", "&Daily", "&Weekly"})),
      WeekdayGroup(ScheduleGroup.add<RadioGroup>(kWeekdayLeft, kRadioRow, kWeekdayWidth,
                                                 kWeekdayHeight, "Weekday", WeekdayNames())),
      TimeCaption(AddText(ScheduleGroup, kInset, kTimeCaptionRow, kFrequencyWidth, kLineHeight,
                          "Time (HH:MM):")),
      TimeEdit(ScheduleGroup.add<Edit>(kInset, kTimeRow, kTimeWidth, kFieldHeight)),
      TargetsGroup(ScheduleGroup.add<RadioGroup>(
          kInset, kTargetsRow, kScheduleInnerWidth, kTargetsHeight, "Scan:",
          std::vector<std::string>{"All fi&xed drives",
                                   "Folders last &chosen in the folder chooser"})),
      ScheduleProblem(AddText(ScheduleGroup, kInset, kScheduleProblemRow, kScheduleInnerWidth,
                              2 * kLineHeight)),
      LastRunText(
          AddText(ScheduleGroup, kInset, kLastRunRow, kScheduleInnerWidth, 2 * kLineHeight)),
      OkButton(add<Button>(kClientWidth - 2 * (kMargin + kButtonWidth), ButtonsTop(), kButtonWidth,
                           kButtonHeight, "OK")),
      CancelButton(add<Button>(kClientWidth - kMargin - kButtonWidth, ButtonsTop(), kButtonWidth,
                               kButtonHeight, "Cancel")),
      chooseWatchedFolder([] { return ChooseFolder("Select a Folder to Watch", 1); }),
      daemon_(daemon),
      realtime_(realtime) {
    setFont(DialogFont());
    AddressProblem.setTextColor(RGB(0xB0, 0, 0));
    VaultDaysProblem.setTextColor(RGB(0xB0, 0, 0));
    ScheduleProblem.setTextColor(RGB(0xB0, 0, 0));
    setStayOnTop(true);
    centreOnScreen();

    onShow = [this] { FormShow(); };
    OkButton.onClick = [this] { OkClick(); };
    CancelButton.onClick = [this] { close(); };
    keyboard().setDefaultButton(&OkButton);
    keyboard().setCancelButton(&CancelButton);
    AddressEdit.accessible.name = "Engine address";
    VaultDaysEdit.accessible.name = "Delete vaulted files after N days";
    WatchedList.accessible.name = "Watched folders";
    EventsList.accessible.name = "Recent events";
    TimeEdit.accessible.name = "Scheduled scan time (HH:MM)";
    FrequencyGroup.onChange = [this] {
        WeekdayGroup.setEnabled(FrequencyGroup.itemIndex() ==
                                static_cast<int>(ScheduleFrequency::Weekly));
    };
    AddWatchedButton.onClick = [this] { AddWatchedFolder(); };
    RemoveWatchedButton.onClick = [this] { RemoveWatchedFolder(); };
    WatchedList.onSelectionChange = [this] {
        RemoveWatchedButton.setEnabled(WatchedList.itemIndex() >= 0);
    };
}

void ProtectionSettingsWindow::ShowSettings() {
    if (visible()) {
        SetForegroundWindow(handle());
        return;
    }
    centreOnScreen();
    show();
    setStayOnTop(true);
}

void ProtectionSettingsWindow::FormShow() {
    KeepLoaded.setChecked(LoadKeepLoaded());
    AddressEdit.setText(EngineSettingFieldText(LoadEngineSetting()));
    AddressProblem.setCaption("");
    ShowVaultDays();
    Exclusions.Load();
    RealtimeCheck.setChecked(RealtimeWanted());
    shownWatched_ = WatchedFolders();
    ShowWatchedFolders();
    shownEvents_.clear();
    EventsList.clear();
    ShowSchedule();
    RefreshState();
}

void ProtectionSettingsWindow::ShowSchedule() {
    shownSchedule_ = LoadScanSchedule();
    FrequencyGroup.setItemIndex(static_cast<int>(shownSchedule_.frequency));
    WeekdayGroup.setItemIndex(ItemOfWeekday(shownSchedule_.weekday));
    WeekdayGroup.setEnabled(shownSchedule_.frequency == ScheduleFrequency::Weekly);
    TimeEdit.setText(TimeOfDayText(shownSchedule_.minuteOfDay));
    TargetsGroup.setItemIndex(static_cast<int>(shownSchedule_.targets));
    ScheduleProblem.setCaption("");
}

void ProtectionSettingsWindow::ShowLastRun() {
    const std::string words =
        schedule_ ? schedule_->LastRunWords() : LastRunWordsOf(LoadLastScheduledRun(), false);
    if (LastRunText.caption() != words) LastRunText.setCaption(words);
}

std::optional<ScanSchedule> ProtectionSettingsWindow::CheckedSchedule() {
    ScanSchedule schedule = shownSchedule_;
    schedule.frequency = FrequencyGroup.itemIndex() < 0
                             ? ScheduleFrequency::Off
                             : static_cast<ScheduleFrequency>(FrequencyGroup.itemIndex());
    if (WeekdayGroup.itemIndex() >= 0) schedule.weekday = WeekdayOfItem(WeekdayGroup.itemIndex());
    schedule.targets = TargetsGroup.itemIndex() == static_cast<int>(ScheduleTargets::ChosenFolders)
                           ? ScheduleTargets::ChosenFolders
                           : ScheduleTargets::FixedDrives;
    const std::optional<int> minute = TimeOfDayFromText(TimeEdit.text());
    if (!minute) {
        ScheduleProblem.setCaption("Not stored: the time must be HH:MM, such as 14:30.");
        keyboard().focus(TimeEdit);
        return std::nullopt;
    }
    schedule.minuteOfDay = *minute;
    // A run with nothing to scan would fail at every time it names.
    if (schedule.frequency != ScheduleFrequency::Off &&
        schedule.targets == ScheduleTargets::ChosenFolders && LastChosenFolders().empty()) {
        ScheduleProblem.setCaption(
            "Not stored: no folders were chosen in the folder chooser yet. Scan folders from "
            "there first, or choose all fixed drives.");
        return std::nullopt;
    }
    ScheduleProblem.setCaption("");
    return schedule;
}

void ProtectionSettingsWindow::ShowWatchedFolders() {
    WatchedList.clear();
    for (const std::string& folder : shownWatched_)
        WatchedList.addItem(folder);
    if (!shownWatched_.empty()) WatchedList.setItemIndex(0);
    RemoveWatchedButton.setEnabled(!shownWatched_.empty());
}

std::vector<std::string> ProtectionSettingsWindow::WatchedInList() const {
    std::vector<std::string> folders;
    for (int i = 0; i < WatchedList.count(); ++i)
        folders.push_back(WatchedList.item(i));
    return folders;
}

void ProtectionSettingsWindow::AddWatchedFolder() {
    const std::string chosen = chooseWatchedFolder ? chooseWatchedFolder() : std::string();
    if (chosen.empty()) return;
    for (int i = 0; i < WatchedList.count(); ++i) {
        if (SamePath(WatchedList.item(i), chosen)) {
            WatchedList.setItemIndex(i);
            return;
        }
    }
    WatchedList.addItem(chosen);
    WatchedList.setItemIndex(WatchedList.count() - 1);
    RemoveWatchedButton.setEnabled(true);
}

void ProtectionSettingsWindow::RemoveWatchedFolder() {
    const int index = WatchedList.itemIndex();
    if (index < 0 || index >= WatchedList.count()) return;
    WatchedList.deleteItem(index);
    if (WatchedList.count() > 0) WatchedList.setItemIndex(std::min(index, WatchedList.count() - 1));
    RemoveWatchedButton.setEnabled(WatchedList.count() > 0);
}

void ProtectionSettingsWindow::ShowEvents() {
    std::vector<RealtimeEvent> events = LoadRealtimeEvents();
    // The list is read anew on each change: shown again only when it
    // changed, so that a scroll position is not lost to every state change.
    if (events == shownEvents_ && EventsList.count() == static_cast<int>(events.size())) return;
    shownEvents_ = std::move(events);
    EventsList.clear();
    for (auto it = shownEvents_.rbegin(); it != shownEvents_.rend(); ++it)
        EventsList.addItem(EventRow(*it));
}

void ProtectionSettingsWindow::ShowVaultDays() {
    VaultDaysEdit.setText(std::to_string(LoadDeleteAfterDays()));
    VaultDaysProblem.setCaption("");
}

std::optional<std::uint32_t> ProtectionSettingsWindow::CheckedVaultDays() {
    std::string why;
    const std::optional<std::uint32_t> days = DeleteAfterDaysToStore(VaultDaysEdit.text(), why);
    VaultDaysProblem.setCaption(days ? "" : "Not stored: " + why + ".");
    if (!days) keyboard().focus(VaultDaysEdit);
    return days;
}

void ProtectionSettingsWindow::RefreshState() {
    const EngineWords words = daemon_.Words();
    if (EngineText.caption() != words.engine) EngineText.setCaption(words.engine);
    if (StateText.caption() != words.state) StateText.setCaption(words.state);
    if (NoteText.caption() != words.note) NoteText.setCaption(words.note);
    const std::string realtimeWords = realtime_.StateWords();
    if (RealtimeStateText.caption() != realtimeWords) RealtimeStateText.setCaption(realtimeWords);
    ShowEvents();
    ShowLastRun();
}

void ProtectionSettingsWindow::OkClick() {
    std::string why;
    const std::optional<std::string> setting = EngineSettingToStore(AddressEdit.text(), why);
    if (!setting) {
        AddressProblem.setCaption(why);
        keyboard().focus(AddressEdit);
        return;
    }
    AddressProblem.setCaption("");
    const std::optional<std::uint32_t> vaultDays = CheckedVaultDays();
    if (!vaultDays) return;
    std::optional<ScanSchedule> schedule = CheckedSchedule();
    if (!schedule) return;
    if (!Exclusions.Store()) return;
    // A store that fails leaves the window open with the entries, and the
    // error report says why.
    StoreDeleteAfterDays(*vaultDays);
    StoreEngineSetting(*setting);
    StoreKeepLoaded(KeepLoaded.checked());
    StoreRealtimeWanted(RealtimeCheck.checked());
    const std::vector<std::string> watched = WatchedInList();
    if (watched != shownWatched_) {
        StoreWatchedFolders(watched);
        shownWatched_ = watched;
    }
    const bool timesChanged = schedule->frequency != shownSchedule_.frequency ||
                              schedule->weekday != shownSchedule_.weekday ||
                              schedule->minuteOfDay != shownSchedule_.minuteOfDay;
    const bool scheduleChangedHere = timesChanged || schedule->targets != shownSchedule_.targets;
    if (scheduleChangedHere) {
        // Times before this moment are not caught up under the new times.
        if (timesChanged) schedule->storedAt = schedule_ ? schedule_->now() : SystemLocalMoment();
        StoreScanSchedule(*schedule);
        shownSchedule_ = *schedule;
    }
    daemon_.Apply();
    realtime_.Apply();
    if (scheduleChangedHere && scheduleChanged) scheduleChanged();
    close();
}

}  // namespace tolvar
