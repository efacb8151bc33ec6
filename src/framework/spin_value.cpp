#include "framework/spin_value.h"

#include <algorithm>
#include <cstdint>

namespace tolvar {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits beyond this only push the number further out of any int range, so
// it stops growing here instead of overflowing.
constexpr std::int64_t kSaturated = std::int64_t{1} << 40;

}  // namespace

int SpinValueFromText(std::string_view text, int minValue, int maxValue) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t number = 0;  // also what text that is not a number counts as
    if (!text.empty() && std::all_of(text.begin(), text.end(), IsDigit)) {
        for (char c : text)
            number = std::min(number * 10 + (c - '0'), kSaturated);
        if (negative) number = -number;
    }
    if (number < minValue) return minValue;
    if (number > maxValue) return maxValue;
    return static_cast<int>(number);
}

}  // namespace tolvar
