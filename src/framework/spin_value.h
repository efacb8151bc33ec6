#pragma once

// The number a spin field's text stands for. Portable: no <windows.h>.

#include <string_view>

namespace tolvar {

// The whole number in text (spaces around it and a sign allowed), brought to
// the nearer of minValue and maxValue when outside them; text that is not a
// whole number counts as 0, which is brought into the range the same way.
int SpinValueFromText(std::string_view text, int minValue, int maxValue);

}  // namespace tolvar
