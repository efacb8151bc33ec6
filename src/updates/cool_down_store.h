#pragma once

// The cool-down the program keeps: the default value of the subkey
// "cooldown", "YYYY-MM-DD HH:MM:SS <source>" in local time.

#include <optional>
#include <string_view>

#include "updates/cool_down.h"

namespace tolvar {

// Nothing when none is stored or the value cannot be read.
std::optional<CoolDown> StoredCoolDown();
// Keeps the latest one. A failure to store it is let go: it only lets the
// next run ask the mirror again, which then answers the same.
void StoreCoolDown(const CoolDown& coolDown);
// The end of the cool-down that holds now for runs from source, if any.
std::optional<double> CoolDownFor(std::string_view source);

}  // namespace tolvar
