#include "ui/tray_notice_win.h"

#include "core/app_error.h"
#include "core/registry_win.h"
#include "protection/realtime_setting_win.h"

namespace tolvar {

bool TakeFirstTrayNotice() {
    try {
        const RegistryKey key(kWatchSubkey);
        if (key.ReadNamedDword(kTrayNoticeValue).value_or(0) != 0) return false;
        key.WriteNamedDword(kTrayNoticeValue, 1);
    } catch (const AppError&) {
        // A value of another type, or a key the program may not write.
    }
    return true;
}

}  // namespace tolvar
