// The progress gauge on a form: its pictures, read from the form's composed
// off-screen bitmap, and when its property writes repaint it.

#include <gtest/gtest.h>

#include <utility>

#include "framework/form_win.h"
#include "ui/gauge_win.h"

namespace tolvar {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kSurround = RGB(20, 120, 40);

struct GaugeOnForm : testing::Test {
    GaugeOnForm() : form("gauge", 300, 200), gauge(form.add<TGauge>(10, 20)) {
        form.setColor(kSurround);
    }

    // The composed picture of the form, read in the gauge's coordinates.
    void render() { shot = form.renderOffscreen(); }
    COLORREF at(int x, int y) const {
        return shot.pixel(gauge.bounds().left + x, gauge.bounds().top + y);
    }
    // How many pixels of the gauge's (x0, y0)-(x1, y1), right and bottom
    // exclusive, have the colour.
    int count(int x0, int y0, int x1, int y1, COLORREF colour) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += at(x, y) == colour ? 1 : 0;
        return n;
    }
    // The 1-pixel ring around a w by h gauge is all black.
    bool blackFrame(int w, int h) const {
        return count(0, 0, w, 1, kBlack) == w && count(0, h - 1, w, h, kBlack) == w &&
               count(0, 0, 1, h, kBlack) == h && count(w - 1, 0, w, h, kBlack) == h;
    }

    Form form;
    TGauge& gauge;
    Bitmap shot;
};

TEST_F(GaugeOnForm, DefaultsAreAFramedHorizontalBarWithZeroPercent) {
    EXPECT_EQ(gauge.bounds().width, 100);
    EXPECT_EQ(gauge.bounds().height, 100);
    EXPECT_EQ(gauge.minValue(), 0);
    EXPECT_EQ(gauge.maxValue(), 100);
    EXPECT_EQ(gauge.progress(), 0);
    EXPECT_EQ(gauge.kind(), TGaugeKind::gkHorizontalBar);
    EXPECT_TRUE(gauge.showText());
    EXPECT_EQ(gauge.borderStyle(), GaugeBorder::bsSingle);
    EXPECT_EQ(gauge.foreColor(), kBlack);
    EXPECT_EQ(gauge.backColor(), kWhite);
    EXPECT_EQ(gauge.color(), kSurround);  // the parent's colour

    render();
    EXPECT_TRUE(blackFrame(100, 100));
    // White inside, with the black text "0%" in the middle and nowhere else.
    EXPECT_EQ(at(5, 5), kWhite);
    EXPECT_EQ(at(94, 94), kWhite);
    const int text = count(1, 1, 99, 99, kBlack);
    EXPECT_GT(text, 5);
    EXPECT_EQ(count(1, 1, 99, 35, kBlack), 0);
    EXPECT_EQ(count(1, 65, 99, 99, kBlack), 0);
    EXPECT_EQ(count(1, 1, 99, 99, kWhite) + text, 98 * 98);
}

TEST_F(GaugeOnForm, AFullHorizontalBarFillsEverythingButTheFrame) {
    gauge.setBounds(10, 20, 150, 30);
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setProgress(100);
    render();
    EXPECT_TRUE(blackFrame(150, 30));
    EXPECT_EQ(count(1, 1, 149, 29, kRed), 148 * 28);
}

TEST_F(GaugeOnForm, AHalfHorizontalBarFillsFromTheLeft) {
    gauge.setBounds(10, 20, 150, 30);
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setProgress(50);
    render();
    // W = 149, F = 74: columns 1 to 73 are filled.
    EXPECT_EQ(count(1, 1, 74, 29, kRed), 73 * 28);
    EXPECT_EQ(count(74, 1, 149, 29, kWhite), 75 * 28);
}

TEST_F(GaugeOnForm, AFullVerticalBarWithoutBorderKeepsItsTopRow) {
    gauge.setBounds(10, 20, 40, 80);
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setKind(TGaugeKind::gkVerticalBar);
    gauge.setBorderStyle(GaugeBorder::bsNone);
    gauge.setProgress(100);
    render();
    EXPECT_EQ(count(0, 0, 40, 1, kWhite), 40);
    EXPECT_EQ(count(0, 1, 40, 80, kRed), 40 * 79);

    // With a frame the inside is filled whole.
    gauge.setBorderStyle(GaugeBorder::bsSingle);
    render();
    EXPECT_TRUE(blackFrame(40, 80));
    EXPECT_EQ(count(1, 1, 39, 79, kRed), 38 * 78);
}

TEST_F(GaugeOnForm, AVerticalBarGrowsFromTheBottom) {
    gauge.setBounds(10, 20, 40, 80);
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setKind(TGaugeKind::gkVerticalBar);
    gauge.setProgress(50);
    render();
    // H = 79, F = 39: rows 40 to 78 are filled.
    EXPECT_EQ(count(1, 40, 39, 79, kRed), 38 * 39);
    EXPECT_EQ(count(1, 1, 39, 40, kWhite), 38 * 39);
}

TEST_F(GaugeOnForm, APieAtAQuarterFillsTheUpperRightQuarter) {
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setKind(TGaugeKind::gkPie);
    gauge.setProgress(25);
    render();
    EXPECT_EQ(at(3, 3), kSurround);  // outside the disc: the gauge's colour
    EXPECT_EQ(at(96, 96), kSurround);
    for (auto [x, y] : {std::pair{75, 25}, {60, 10}, {90, 40}, {55, 45}})
        EXPECT_EQ(at(x, y), kRed) << x << "," << y;
    for (auto [x, y] : {std::pair{25, 25}, {25, 75}, {75, 75}, {45, 55}, {40, 10}, {90, 60}})
        EXPECT_EQ(at(x, y), kWhite) << x << "," << y;

    // At 0 the disc is empty; at 100 it is full.
    gauge.setProgress(0);
    render();
    EXPECT_EQ(at(75, 25), kWhite);
    gauge.setProgress(100);
    render();
    for (auto [x, y] : {std::pair{75, 25}, {25, 25}, {25, 75}, {75, 75}})
        EXPECT_EQ(at(x, y), kRed) << x << "," << y;
}

TEST_F(GaugeOnForm, TheSurroundCanBeGivenItsOwnColour) {
    gauge.setShowText(false);
    gauge.setKind(TGaugeKind::gkPie);
    gauge.setColor(RGB(1, 2, 3));
    render();
    EXPECT_EQ(at(3, 3), RGB(1, 2, 3));
    gauge.setParentColor();
    EXPECT_EQ(gauge.color(), kSurround);
}

TEST_F(GaugeOnForm, ANeedleAtHalfStandsUpFromTheBottomMiddle) {
    gauge.setShowText(false);
    gauge.setForeColor(kRed);
    gauge.setKind(TGaugeKind::gkNeedle);
    gauge.setProgress(50);
    render();
    // The needle: column 50 from the pivot at row 98 up to row 1.
    EXPECT_EQ(count(50, 1, 51, 99, kRed), 98);
    // Beside it the half disc is the back colour, around it the surround.
    EXPECT_EQ(at(45, 50), kWhite);
    EXPECT_EQ(at(55, 50), kWhite);
    EXPECT_EQ(at(20, 90), kWhite);
    EXPECT_EQ(at(3, 3), kSurround);
    EXPECT_EQ(at(96, 3), kSurround);

    // At 0 no needle is drawn.
    gauge.setProgress(0);
    render();
    EXPECT_EQ(at(50, 50), kWhite);
}

TEST_F(GaugeOnForm, TextOnlyFillsWithTheBackColour) {
    gauge.setKind(TGaugeKind::gkText);
    gauge.setBackColor(kRed);
    gauge.setShowText(false);
    gauge.setProgress(70);
    render();
    EXPECT_TRUE(blackFrame(100, 100));
    EXPECT_EQ(count(1, 1, 99, 99, kRed), 98 * 98);
}

TEST_F(GaugeOnForm, TheTextInvertsWhereItCrossesTheBar) {
    gauge.setBounds(10, 20, 200, 40);
    gauge.setFont(FontSpec{"Tahoma", 24, true});
    gauge.setProgress(50);
    render();
    // W = 199, F = 99: columns 1 to 98 are black, 99 to 198 white. "50%"
    // stands over the middle, so it is white over the fill and black beyond.
    EXPECT_GT(count(1, 1, 99, 39, kWhite), 20);
    EXPECT_GT(count(99, 1, 199, 39, kBlack), 20);
    // Nothing else is changed: the far ends of the bar are plain.
    EXPECT_EQ(count(1, 1, 40, 39, kBlack), 39 * 38);
    EXPECT_EQ(count(160, 1, 199, 39, kWhite), 39 * 38);

    // Without the text the two halves are plain.
    gauge.setShowText(false);
    render();
    EXPECT_EQ(count(1, 1, 99, 39, kWhite), 0);
    EXPECT_EQ(count(99, 1, 199, 39, kBlack), 0);
}

TEST_F(GaugeOnForm, TheTextIsClippedToThePaintRectangle) {
    gauge.setBounds(10, 20, 60, 12);
    gauge.setFont(FontSpec{"Tahoma", 30, true});
    gauge.setProgress(100);
    render();
    EXPECT_TRUE(blackFrame(60, 12));
}

TEST(Gauge, ProgressThatKeepsTheWholePercentageDoesNotRepaint) {
    Form form("gauge", 200, 100);
    TGauge& gauge = form.add<TGauge>(0, 0, 200, 20);
    form.show();
    gauge.setMaxValue(10000);
    gauge.setProgress(1000);
    const int requests = gauge.repaintRequests();
    const int paints = gauge.paintCount();
    for (int v = 1001; v <= 1049; ++v)
        gauge.setProgress(v);
    EXPECT_EQ(gauge.progress(), 1049);
    EXPECT_EQ(gauge.repaintRequests(), requests);
    EXPECT_EQ(gauge.paintCount(), paints);

    // A step into the next percent repaints at once, without waiting for
    // the message loop.
    gauge.setProgress(1100);
    EXPECT_EQ(gauge.repaintRequests(), requests + 1);
    EXPECT_EQ(gauge.paintCount(), paints + 1);
}

TEST(Gauge, UnchangedPropertiesDoNotRepaintAndChangedOnesDo) {
    Form form("gauge", 200, 100);
    TGauge& gauge = form.add<TGauge>(0, 0, 100, 20);
    gauge.setKind(TGaugeKind::gkHorizontalBar);
    gauge.setShowText(true);
    gauge.setBorderStyle(GaugeBorder::bsSingle);
    gauge.setForeColor(RGB(0, 0, 0));
    gauge.setBackColor(RGB(255, 255, 255));
    gauge.setMinValue(0);
    gauge.setMaxValue(100);
    gauge.setProgress(0);
    EXPECT_EQ(gauge.repaintRequests(), 0);

    gauge.setKind(TGaugeKind::gkPie);
    gauge.setShowText(false);
    gauge.setBorderStyle(GaugeBorder::bsNone);
    gauge.setForeColor(kRed);
    gauge.setBackColor(kSurround);
    gauge.setMinValue(-5);
    gauge.setMaxValue(50);
    EXPECT_EQ(gauge.repaintRequests(), 7);
}

TEST(Gauge, ARangeErrorChangesNothing) {
    Form form("gauge", 200, 100);
    TGauge& gauge = form.add<TGauge>(0, 0, 100, 20);
    gauge.setProgress(40);
    try {
        gauge.setMaxValue(-1);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between 1 and 2147483647");
    }
    EXPECT_THROW(gauge.setMinValue(101), EInvalidOperation);
    EXPECT_EQ(gauge.minValue(), 0);
    EXPECT_EQ(gauge.maxValue(), 100);
    EXPECT_EQ(gauge.progress(), 40);
    EXPECT_EQ(gauge.repaintRequests(), 1);

    // While a window's settings load, either order goes.
    gauge.setLoading(true);
    gauge.setMinValue(500);
    gauge.setMaxValue(1000);
    gauge.setLoading(false);
    EXPECT_EQ(gauge.minValue(), 500);
    EXPECT_EQ(gauge.maxValue(), 1000);
}

}  // namespace
}  // namespace tolvar
