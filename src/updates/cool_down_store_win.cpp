#include "updates/cool_down_store.h"

#include "core/app_error.h"
#include "core/clock.h"
#include "core/registry_win.h"

namespace tolvar {

namespace {
constexpr const char* kSubkey = "cooldown";
}  // namespace

std::optional<CoolDown> StoredCoolDown() {
    try {
        return ParseCoolDown(RegistryKey(kSubkey).ReadText());
    } catch (const AppError&) {
        return std::nullopt;
    }
}

void StoreCoolDown(const CoolDown& coolDown) {
    try {
        RegistryKey(kSubkey).WriteText(CoolDownText(coolDown));
    } catch (const AppError&) {
    }
}

std::optional<double> CoolDownFor(std::string_view source) {
    return ActiveCoolDown(StoredCoolDown(), source, NowSerial());
}

}  // namespace tolvar
