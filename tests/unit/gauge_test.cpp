// The progress gauge's rules: the truncated percentage, the fill lengths and
// rectangles, the pie's and the needle's points, the text position, and what
// the writes of range and value change.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/gauge_geometry.h"

namespace tolvar {
namespace {

std::string ErrorOf(GaugeState& state, bool (GaugeState::*set)(int), int value) {
    try {
        (state.*set)(value);
    } catch (const EInvalidOperation& e) {
        return e.what();
    }
    return "";
}

TEST(GaugePercent, TruncatesTowardZero) {
    EXPECT_EQ(PercentComplete(0, 3, 2), 66);
    EXPECT_EQ(PercentComplete(0, 3, 1), 33);
    EXPECT_EQ(PercentComplete(0, 3, 3), 100);
    EXPECT_EQ(PercentComplete(0, 100, 42), 42);
    EXPECT_EQ(PercentComplete(-50, 50, 0), 50);
    EXPECT_EQ(PercentComplete(0, 10000, 1049), 10);
    EXPECT_EQ(PercentComplete(0, 10000, 999), 9);
}

TEST(GaugePercent, AnEmptyRangeIsZero) {
    EXPECT_EQ(PercentComplete(0, 0, 0), 0);
    EXPECT_EQ(PercentComplete(7, 7, 7), 0);
}

TEST(GaugePercent, TheWholeThirtyTwoBitRangeDoesNotOverflow) {
    EXPECT_EQ(PercentComplete(INT_MIN, INT_MAX, INT_MAX), 100);
    EXPECT_EQ(PercentComplete(INT_MIN, INT_MAX, 0), 50);
    EXPECT_EQ(PercentComplete(INT_MIN, INT_MAX, INT_MIN), 0);
}

TEST(GaugeFill, SpanTimesHundredthsTruncated) {
    EXPECT_EQ(FillLength(200, 50), 100);
    EXPECT_EQ(FillLength(99, 100), 99);
    EXPECT_EQ(FillLength(99, 0), 0);
    EXPECT_EQ(FillLength(237, 33), 78);
    // percent * 0.01 in extended precision is a hair below 0.05, so 5% of
    // 20 pixels is no pixel: the gauge has always drawn it so.
    EXPECT_EQ(FillLength(20, 5), 0);
}

TEST(GaugeRounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5L), 0.0L);
    EXPECT_EQ(RoundHalfEven(1.5L), 2.0L);
    EXPECT_EQ(RoundHalfEven(2.5L), 2.0L);
    EXPECT_EQ(RoundHalfEven(-2.5L), -2.0L);
    EXPECT_EQ(RoundHalfEven(-1.5L), -2.0L);
    EXPECT_EQ(RoundHalfEven(2.4999L), 2.0L);
    EXPECT_EQ(RoundHalfEven(2.5001L), 3.0L);
}

TEST(GaugePaintRect, ASingleBorderTakesOnePixelEachSide) {
    EXPECT_EQ(GaugePaintRect(100, 40, GaugeBorder::bsNone), (Box{0, 0, 100, 40}));
    EXPECT_EQ(GaugePaintRect(100, 40, GaugeBorder::bsSingle), (Box{1, 1, 99, 39}));
}

TEST(GaugeBars, AFullHorizontalBarCoversTheWholeInnerArea) {
    const Box r = GaugePaintRect(100, 40, GaugeBorder::bsSingle);
    EXPECT_EQ(HorizontalBarFill(r, 100), (Box{1, 1, 99, 39}));
    EXPECT_EQ(HorizontalBarFill(r, 50), (Box{1, 1, 49, 39}));  // 99 * 0.5 = 49
    EXPECT_EQ(HorizontalBarFill(r, 0), Box{});
    // Without a border the spans are one pixel more than the control.
    EXPECT_EQ(HorizontalBarFill(GaugePaintRect(100, 40, GaugeBorder::bsNone), 100),
              (Box{0, 0, 101, 41}));
}

TEST(GaugeBars, AFullVerticalBarKeepsItsTopRowWithoutABorder) {
    // bsNone: H = 41, F = 41 becomes 40, so the fill starts at row 1.
    EXPECT_EQ(VerticalBarFill(GaugePaintRect(100, 40, GaugeBorder::bsNone), 100),
              (Box{0, 1, 101, 41}));
    // bsSingle: H = 39, F = 38, the fill starts at row 1, the top inner row.
    EXPECT_EQ(VerticalBarFill(GaugePaintRect(100, 40, GaugeBorder::bsSingle), 100),
              (Box{1, 1, 99, 39}));
    EXPECT_EQ(VerticalBarFill(GaugePaintRect(100, 40, GaugeBorder::bsSingle), 50),
              (Box{1, 20, 99, 39}));  // 39 * 0.5 = 19
    const Box empty = VerticalBarFill(GaugePaintRect(100, 40, GaugeBorder::bsSingle), 0);
    EXPECT_EQ(empty.height(), 0);
}

TEST(GaugePie, AQuarterRunsFromThreeOClockToTwelve) {
    const Box r = GaugePaintRect(100, 100, GaugeBorder::bsSingle);
    const PieGeometry pie = PieLayout(r, GaugeBorder::bsSingle, 25);
    // W = H = 98 + 1; the spans stand as the right and bottom edges.
    EXPECT_EQ(pie.bounds, (Box{1, 1, 99, 99}));
    EXPECT_EQ(pie.start, (GaugePoint{98, 49}));  // MX = MY = 49, angle pi
    EXPECT_EQ(pie.end, (GaugePoint{49, 0}));
    // Half: the start radial points straight down.
    EXPECT_EQ(PieLayout(r, GaugeBorder::bsSingle, 50).start, (GaugePoint{49, 98}));
    // Three quarters: to nine o'clock.
    EXPECT_EQ(PieLayout(r, GaugeBorder::bsSingle, 75).start, (GaugePoint{0, 49}));
}

TEST(GaugePie, WithoutABorderTheBoxIsTheControl) {
    const PieGeometry pie =
        PieLayout(GaugePaintRect(80, 60, GaugeBorder::bsNone), GaugeBorder::bsNone, 25);
    EXPECT_EQ(pie.bounds, (Box{0, 0, 80, 60}));
    EXPECT_EQ(pie.start, (GaugePoint{80, 30}));
    EXPECT_EQ(pie.end, (GaugePoint{40, 0}));
}

TEST(GaugeNeedle, HalfWayStandsStraightUpFromTheBottomMiddle) {
    const Box r = GaugePaintRect(100, 100, GaugeBorder::bsSingle);
    const NeedleGeometry needle = NeedleLayout(r, GaugeBorder::bsSingle, 100, 50);
    EXPECT_EQ(needle.bounds, (Box{1, 1, 99, 197}));  // W = H = 99, 2H - 1 = 197
    EXPECT_EQ(needle.radialStart, (GaugePoint{100, 98}));
    EXPECT_EQ(needle.radialEnd, (GaugePoint{1, 98}));
    EXPECT_EQ(needle.baseFrom, (GaugePoint{1, 99}));
    EXPECT_EQ(needle.baseTo, (GaugePoint{100, 99}));
    EXPECT_EQ(needle.pivot, (GaugePoint{50, 98}));
    EXPECT_EQ(needle.tip, (GaugePoint{50, 0}));
}

TEST(GaugeNeedle, TurnsFromLeftThroughUpToRight) {
    const Box r = GaugePaintRect(100, 100, GaugeBorder::bsSingle);
    EXPECT_EQ(NeedleLayout(r, GaugeBorder::bsSingle, 100, 100).tip, (GaugePoint{100, 98}));
    const GaugePoint one = NeedleLayout(r, GaugeBorder::bsSingle, 100, 1).tip;
    EXPECT_EQ(one.x, 0);   // 50 * (1 - cos(pi/100)) = 0.0247
    EXPECT_EQ(one.y, 95);  // 98 * (1 - sin(pi/100)) = 94.92
    const GaugePoint quarter = NeedleLayout(r, GaugeBorder::bsSingle, 100, 25).tip;
    EXPECT_EQ(quarter, (GaugePoint{15, 29}));  // 14.64, 28.70
}

TEST(GaugeText, CentredInThePaintRectangle) {
    const Box r = GaugePaintRect(100, 40, GaugeBorder::bsSingle);
    EXPECT_EQ(TextOrigin(r, 20, 13), (GaugePoint{39, 13}));  // (99 - 20) div 2, (39 - 13) div 2
    EXPECT_EQ(TextOrigin(GaugePaintRect(100, 40, GaugeBorder::bsNone), 20, 13),
              (GaugePoint{40, 14}));
}

TEST(GaugeRules, ProgressIsClampedIntoTheRange) {
    GaugeState state;
    EXPECT_TRUE(state.SetProgress(150));
    EXPECT_EQ(state.progress(), 100);
    EXPECT_EQ(state.percent(), 100);
    EXPECT_TRUE(state.SetProgress(-5));
    EXPECT_EQ(state.progress(), 0);
    EXPECT_FALSE(state.SetProgress(-7));  // clamps to the same value: nothing to do
}

TEST(GaugeRules, AnEmptyRangeKeepsProgressAtItsEnds) {
    GaugeState state;
    EXPECT_TRUE(state.SetMaxValue(0));
    EXPECT_FALSE(state.SetProgress(42));
    EXPECT_EQ(state.progress(), 0);
    EXPECT_EQ(state.percent(), 0);
}

TEST(GaugeRules, TwoOfThreeIsSixtySixPercent) {
    GaugeState state;
    state.SetMaxValue(3);
    EXPECT_TRUE(state.SetProgress(2));
    EXPECT_EQ(state.percent(), 66);
}

TEST(GaugeRules, AStepThatKeepsTheWholePercentageAsksForNoRepaint) {
    GaugeState state;
    state.SetMaxValue(10000);
    EXPECT_TRUE(state.SetProgress(1000));
    for (int v = 1001; v <= 1049; ++v) {
        EXPECT_FALSE(state.SetProgress(v)) << v;
        EXPECT_EQ(state.progress(), v);
    }
    EXPECT_TRUE(state.SetProgress(1100));
    EXPECT_EQ(state.percent(), 11);
}

TEST(GaugeRules, SameValueWritesDoNothing) {
    GaugeState state;
    EXPECT_FALSE(state.SetMinValue(0));
    EXPECT_FALSE(state.SetMaxValue(100));
    EXPECT_FALSE(state.SetProgress(0));
}

TEST(GaugeRules, RangeWritesCarryProgressAlong) {
    GaugeState state;
    state.SetProgress(10);
    EXPECT_TRUE(state.SetMinValue(20));
    EXPECT_EQ(state.progress(), 20);
    state.SetProgress(90);
    EXPECT_TRUE(state.SetMaxValue(50));
    EXPECT_EQ(state.progress(), 50);
    // Widening the range leaves the value where it is.
    EXPECT_TRUE(state.SetMaxValue(1000));
    EXPECT_TRUE(state.SetMinValue(-1000));
    EXPECT_EQ(state.progress(), 50);
}

TEST(GaugeRules, AMaximumBelowTheMinimumIsRefusedWithTheValidRange) {
    GaugeState state;
    EXPECT_EQ(ErrorOf(state, &GaugeState::SetMaxValue, -1),
              "Value must be between 1 and 2147483647");
    EXPECT_EQ(state.maxValue(), 100);
    state.SetMinValue(40);
    EXPECT_EQ(ErrorOf(state, &GaugeState::SetMaxValue, 39),
              "Value must be between 41 and 2147483647");
    // Equal to the minimum is allowed.
    EXPECT_TRUE(state.SetMaxValue(40));
}

TEST(GaugeRules, AMinimumAboveTheMaximumIsRefusedWithTheValidRange) {
    GaugeState state;
    state.SetProgress(30);
    EXPECT_EQ(ErrorOf(state, &GaugeState::SetMinValue, 101),
              "Value must be between -2147483647 and 99");
    EXPECT_EQ(state.minValue(), 0);
    EXPECT_EQ(state.progress(), 30);
    EXPECT_TRUE(state.SetMinValue(100));
    EXPECT_EQ(state.progress(), 100);
    EXPECT_EQ(state.percent(), 0);
}

TEST(GaugeRules, TheErrorIsTheProgramsErrorKind) {
    GaugeState state;
    EXPECT_THROW(state.SetMaxValue(-1), AppError);
}

TEST(GaugeRules, WhileLoadingEitherOrderIsAccepted) {
    GaugeState state;
    state.setLoading(true);
    // The stored minimum comes before the stored maximum.
    EXPECT_TRUE(state.SetMinValue(200));
    EXPECT_TRUE(state.SetMaxValue(300));
    EXPECT_EQ(state.minValue(), 200);
    EXPECT_EQ(state.maxValue(), 300);
    // And the other way round.
    GaugeState other;
    other.setLoading(true);
    EXPECT_TRUE(other.SetMaxValue(-20));
    EXPECT_TRUE(other.SetMinValue(-30));
    other.setLoading(false);
    EXPECT_EQ(other.minValue(), -30);
    EXPECT_EQ(other.maxValue(), -20);
    EXPECT_THROW(other.SetMinValue(-10), EInvalidOperation);
}

}  // namespace
}  // namespace tolvar
