#pragma once

// The scheduled look for a due database update, a few seconds after start:
// what one tick of the check does.

#include "core/settings_record.h"

namespace tolvar {

enum class UpdateCheckStep {
    Wait,          // keep ticking: "Never Check" (a later saved schedule still counts), a scan
                   // runs, or the offer is already showing
    NotDue,        // stop checking for this run
    OfferUpdate,   // stop checking and ask the user
    DownloadNow,   // stop checking and open the download at once
};

UpdateCheckStep DecideUpdateCheck(const SettingsRecord& settings, bool scanIdle,
                                  bool offerShowing, double today);

}  // namespace tolvar
