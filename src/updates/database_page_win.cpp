#include "updates/database_page.h"

#include <windows.h>

#include "core/clock.h"
#include "core/settings.h"
#include "ui/main_form_win.h"

namespace tolvar {

void FillDatabasePage(TForm1& f) {
    const SettingsRecord& settings = Settings();
    f.lblSize.setCaption(std::to_string(settings.LastUpdateSize()) + " bytes");
    f.lblUpdate.setCaption(ShortDateOf(settings.LastUpdateDate()));
    f.lblUpdates.setCaption(std::to_string(settings.TotalUpdates()));
}

}  // namespace tolvar
