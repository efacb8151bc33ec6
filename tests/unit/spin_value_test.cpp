// What a spin field's text stands for: the number typed, brought into the
// field's range, with anything that is not a whole number counting as 0.

#include <gtest/gtest.h>

#include <string>

#include "framework/spin_value.h"

namespace tolvar {
namespace {

TEST(SpinValue, WholeNumbersInsideTheRangeAreTakenAsTyped) {
    EXPECT_EQ(SpinValueFromText("0", 0, 100), 0);
    EXPECT_EQ(SpinValueFromText("42", 0, 100), 42);
    EXPECT_EQ(SpinValueFromText("100", 0, 100), 100);
    EXPECT_EQ(SpinValueFromText("007", 0, 100), 7);
    EXPECT_EQ(SpinValueFromText(" 12 ", 0, 100), 12);
    EXPECT_EQ(SpinValueFromText("+5", 0, 100), 5);
    EXPECT_EQ(SpinValueFromText("-3", -10, 10), -3);
}

TEST(SpinValue, NumbersOutsideTheRangeGoToTheNearerBound) {
    EXPECT_EQ(SpinValueFromText("250", 0, 100), 100);
    EXPECT_EQ(SpinValueFromText("101", 0, 100), 100);
    EXPECT_EQ(SpinValueFromText("-5", 0, 100), 0);
    EXPECT_EQ(SpinValueFromText("3", 5, 9), 5);
    // Far past any int: must not wrap around to the other bound.
    EXPECT_EQ(SpinValueFromText("99999999999999999999999999", 0, 100), 100);
    EXPECT_EQ(SpinValueFromText("-99999999999999999999999999", 0, 100), 0);
    EXPECT_EQ(SpinValueFromText("4294967396", 0, 100), 100);  // 2^32 + 100
}

TEST(SpinValue, TextThatIsNotAWholeNumberCountsAsZero) {
    for (const std::string text :
         {"abc", "", " ", "12abc", "1.5", "1 2", "-", "+", "--1", "0x10"}) {
        EXPECT_EQ(SpinValueFromText(text, 0, 100), 0) << '"' << text << '"';
    }
    // Zero itself then obeys the range.
    EXPECT_EQ(SpinValueFromText("abc", 5, 9), 5);
    EXPECT_EQ(SpinValueFromText("abc", -9, -5), -5);
}

}  // namespace
}  // namespace tolvar
