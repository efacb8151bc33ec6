#include "updates/update_check.h"

#include "updates/update_schedule.h"

namespace tolvar {

UpdateCheckStep DecideUpdateCheck(const SettingsRecord& settings, bool scanIdle, bool offerShowing,
                                  double today, bool coolingDown) {
    if (settings.CheckSchedule() == UpdateSchedule::NeverCheck) return UpdateCheckStep::Wait;
    if (!scanIdle || offerShowing) return UpdateCheckStep::Wait;
    if (!IsUpdateDue(settings, today)) return UpdateCheckStep::NotDue;
    if (coolingDown) return UpdateCheckStep::Wait;
    return settings.FoundAction() == FoundUpdateAction::DownloadAutomatically
               ? UpdateCheckStep::DownloadNow
               : UpdateCheckStep::OfferUpdate;
}

}  // namespace tolvar
