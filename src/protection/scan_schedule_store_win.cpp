#include "protection/scan_schedule_store_win.h"

#include "core/app_error.h"
#include "core/registry_win.h"
#include "framework/text_lines.h"

namespace tolvar {

namespace {

constexpr const char* kFrequencyValue = "Frequency";
constexpr const char* kWeekdayValue = "Weekday";
constexpr const char* kTimeValue = "Time";
constexpr const char* kTargetsValue = "Targets";
constexpr const char* kStoredAtValue = "StoredAt";
constexpr const char* kLastRunValue = "LastRun";
constexpr const char* kLastOutcomeValue = "LastOutcome";

std::uint32_t DwordOr(const RegistryKey& key, const char* name, std::uint32_t fallback,
                      std::uint32_t highest) {
    const std::optional<std::uint32_t> value = key.ReadNamedDword(name);
    return value && *value <= highest ? *value : fallback;
}

// A text value, "" when it is missing or of another type.
std::string TextOr(const RegistryKey& key, const char* name) {
    try {
        return key.ReadText(name);
    } catch (const AppError&) {
        return {};
    }
}

}  // namespace

ScanSchedule LoadScanSchedule() {
    ScanSchedule schedule;
    try {
        const RegistryKey key(kScheduleSubkey);
        schedule.frequency = static_cast<ScheduleFrequency>(DwordOr(
            key, kFrequencyValue, 0, static_cast<std::uint32_t>(ScheduleFrequency::Weekly)));
        schedule.weekday =
            static_cast<int>(DwordOr(key, kWeekdayValue, kDefaultScheduleWeekday, 6));
        schedule.minuteOfDay =
            static_cast<int>(DwordOr(key, kTimeValue, kDefaultScheduleMinute, 24 * 60 - 1));
        schedule.targets = static_cast<ScheduleTargets>(DwordOr(
            key, kTargetsValue, 0, static_cast<std::uint32_t>(ScheduleTargets::ChosenFolders)));
        schedule.storedAt = MomentFromText(TextOr(key, kStoredAtValue));
        schedule.lastRun = MomentFromText(TextOr(key, kLastRunValue));
    } catch (const AppError&) {
        // The key cannot be opened: no schedule.
        return ScanSchedule{};
    }
    return schedule;
}

void StoreScanSchedule(const ScanSchedule& schedule) {
    const RegistryKey key(kScheduleSubkey);
    key.WriteNamedDword(kFrequencyValue, static_cast<std::uint32_t>(schedule.frequency));
    key.WriteNamedDword(kWeekdayValue, static_cast<std::uint32_t>(schedule.weekday));
    key.WriteNamedDword(kTimeValue, static_cast<std::uint32_t>(schedule.minuteOfDay));
    key.WriteNamedDword(kTargetsValue, static_cast<std::uint32_t>(schedule.targets));
    if (schedule.storedAt) key.WriteText(MomentText(*schedule.storedAt), kStoredAtValue);
}

LastScheduledRun LoadLastScheduledRun() {
    try {
        const RegistryKey key(kScheduleSubkey);
        return {MomentFromText(TextOr(key, kLastRunValue)), TextOr(key, kLastOutcomeValue)};
    } catch (const AppError&) {
        return {};
    }
}

void StoreLastRunStart(const LocalMoment& when) {
    const RegistryKey key(kScheduleSubkey);
    key.WriteText(MomentText(when), kLastRunValue);
    key.WriteText("", kLastOutcomeValue);
}

void StoreLastRunOutcome(const std::string& outcome) {
    RegistryKey(kScheduleSubkey).WriteText(outcome, kLastOutcomeValue);
}

std::vector<std::string> LastChosenFolders() {
    std::string text;
    try {
        text = RegistryKey(kScheduleSubkey).ReadText();
    } catch (const AppError&) {
        return {};
    }
    std::vector<std::string> folders;
    for (std::string& line : SplitLines(text))
        if (!line.empty()) folders.push_back(std::move(line));
    return folders;
}

void StoreLastChosenFolders(const std::vector<std::string>& folders) {
    RegistryKey(kScheduleSubkey).WriteText(JoinCrLf(folders));
}

}  // namespace tolvar
