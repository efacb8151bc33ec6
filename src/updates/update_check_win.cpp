#include "updates/update_check.h"

#include "core/clock.h"
#include "core/settings.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "ui/main_form_win.h"
#include "ui/program_windows_win.h"
#include "ui/update_prompt_win.h"
#include "updates/update_schedule.h"

namespace tolvar {

void CheckForUpdates(TForm1& form) {
    const SettingsRecord& settings = Settings();
    if (settings.CheckSchedule() == UpdateSchedule::NeverCheck) return;
    if (ScanState != "idle") return;
    TForm15* prompt = Windows().Form15;
    if (prompt && prompt->visible()) return;
    // Stopped before the offer: the timer's later ticks must not offer again
    // while this one waits for the user.
    form.Timer2.setEnabled(false);
    if (!IsUpdateDue(settings, TodaySerial())) return;
    if (settings.FoundAction() == FoundUpdateAction::DownloadAutomatically) {
        form.OpenDatabaseUpdates();
    } else if (prompt) {
        prompt->showModal();
    }
}

}  // namespace tolvar
