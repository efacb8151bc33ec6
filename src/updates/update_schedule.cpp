#include "updates/update_schedule.h"

#include <cmath>

namespace tolvar {

DatabaseFiles FilesOf(DatabaseKind kind) {
    if (kind == DatabaseKind::Main) return {kind, "/main.cvd", "main.cvd", "main2.cvd"};
    return {kind, "/daily.cvd", "daily.cvd", "daily2.cvd"};
}

std::vector<DatabaseFiles> ChooseDownloads(double today, double lastUpdateDate) {
    // A damaged date (not a number) fails the comparison below; the full
    // database is the safe choice then.
    const double days = std::fabs(today - lastUpdateDate);
    if (days <= 1.0) return {FilesOf(DatabaseKind::Daily)};
    return {FilesOf(DatabaseKind::Main), FilesOf(DatabaseKind::Daily)};
}

std::optional<int> ScheduleDays(UpdateSchedule schedule, std::uint8_t intervalDays) {
    switch (schedule) {
        case UpdateSchedule::Daily:
            return 1;
        case UpdateSchedule::Weekly:
            return 7;
        case UpdateSchedule::Monthly:
            return 30;
        case UpdateSchedule::IntervalsOf:
            return intervalDays;
        case UpdateSchedule::NeverCheck:
            return std::nullopt;
    }
    return 1;
}

bool IsUpdateDue(const SettingsRecord& settings, double today) {
    const std::optional<int> days = ScheduleDays(settings.CheckSchedule(), settings.IntervalDays());
    if (!days) return false;
    return today - settings.LastUpdateDate() >= *days;
}

}  // namespace tolvar
