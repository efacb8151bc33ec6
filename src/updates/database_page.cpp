#include "updates/database_page.h"

#include <windows.h>

#include "core/date_serial.h"
#include "core/settings.h"
#include "ui/main_form.h"

namespace tolvar {

std::string ShortDateOf(double serial) {
    const std::optional<CivilDate> date = CivilFromSerial(serial);
    if (!date) return "";
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date->year);
    st.wMonth = static_cast<WORD>(date->month);
    st.wDay = static_cast<WORD>(date->day);
    char text[128] = "";
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, sizeof text)) {
        return "";
    }
    return text;
}

void FillDatabasePage(TForm1& f) {
    const SettingsRecord& settings = Settings();
    f.lblSize.setCaption(std::to_string(settings.LastUpdateSize()) + " bytes");
    f.lblUpdate.setCaption(ShortDateOf(settings.LastUpdateDate()));
    f.lblUpdates.setCaption(std::to_string(settings.TotalUpdates()));
}

}  // namespace tolvar
