#pragma once

// The scheduled look for a due database update, a few seconds after start:
// what one tick of the check does.

#include "core/settings_record.h"

namespace tolvar {

enum class UpdateCheckStep {
    Wait,         // keep ticking: "Never Check" (a later saved schedule still counts), a scan
                  // runs, the offer is already showing, or the mirror's cool-down holds
    NotDue,       // stop checking for this run
    OfferUpdate,  // stop checking and ask the user
    DownloadNow,  // stop checking and open the download at once
};

// coolingDown: the mirror asked for a pause that still holds; a due update
// then waits for its end instead of being offered, since the mirror would
// refuse it.
UpdateCheckStep DecideUpdateCheck(const SettingsRecord& settings, bool scanIdle, bool offerShowing,
                                  double today, bool coolingDown);

}  // namespace tolvar
