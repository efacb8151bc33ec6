#include "core/settings.h"

#include <chrono>

#include "core/registry_win.h"

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

void SeedRandom() {
    Random().seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

}  // namespace tolvar
