#include "core/settings.h"

#include "core/registry.h"

namespace tolvar {

SettingsRecord& Settings() {
    static SettingsRecord settings;
    return settings;
}

void SaveSettings() {
    RegistryKey("sysdata").WriteBinary(Settings().Bytes().data(), SettingsRecord::kSize);
}

std::mt19937& Random() {
    static std::mt19937 random;
    return random;
}

}  // namespace tolvar
