#include "core/app_error.h"
#include "core/registry_win.h"
#include "scan/engine_setting.h"

namespace tolvar {

EngineSetting LoadEngineSetting() {
    try {
        return ParseEngineSetting(RegistryKey(kEngineSubkey).ReadText());
    } catch (const AppError&) {
        // A value of another type, or a key the program may not open.
        return EngineSetting{};
    }
}

bool LoadKeepLoaded() {
    try {
        return KeepLoadedFrom(RegistryKey(kEngineSubkey).ReadNamedDword(kKeepLoadedValue));
    } catch (const AppError&) {
        return KeepLoadedFrom(std::nullopt);
    }
}

void StoreEngineSetting(const std::string& text) {
    RegistryKey(kEngineSubkey).WriteText(text);
}

void StoreKeepLoaded(bool keep) {
    RegistryKey(kEngineSubkey).WriteNamedDword(kKeepLoadedValue, keep ? 1 : 0);
}

}  // namespace tolvar
