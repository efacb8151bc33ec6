#include "ui/gauge_geometry.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace tolvar {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

int Rounded(long double value) {
    return static_cast<int>(RoundHalfEven(value));
}

// The message of a range error. The bounds are figured in 64 bits, so a
// range at the edge of 32 bits reads as the empty range it is rather than
// wrapping around.
std::string OutOfRange(long long low, long long high) {
    char text[80];
    std::snprintf(text, sizeof text, "Value must be between %lld and %lld", low, high);
    return text;
}

}  // namespace

int PercentComplete(int minValue, int maxValue, int progress) {
    if (maxValue == minValue) return 0;
    // The differences in extended precision: a range over the whole of
    // 32 bits does not overflow.
    const long double done = static_cast<long double>(progress) - minValue;
    const long double range = static_cast<long double>(maxValue) - minValue;
    return static_cast<int>(done * 100.0L / range);
}

int FillLength(int span, int percent) {
    return static_cast<int>(span * (percent * 0.01L));
}

long double RoundHalfEven(long double value) {
    const long double floor = std::floor(value);
    const long double fraction = value - floor;
    if (fraction > 0.5L) return floor + 1;
    if (fraction < 0.5L) return floor;
    return std::fmod(floor, 2.0L) == 0 ? floor : floor + 1;
}

Box GaugePaintRect(int width, int height, GaugeBorder border) {
    if (border == GaugeBorder::bsSingle) return Box{1, 1, width - 1, height - 1};
    return Box{0, 0, width, height};
}

Box HorizontalBarFill(const Box& r, int percent) {
    const int w = r.right - r.left + 1;
    const int h = r.bottom - r.top + 1;
    int fill = FillLength(w, percent);
    if (fill > w) fill = w;
    if (fill < 1) return Box{};
    return Box{r.left, r.top, fill, h};
}

Box VerticalBarFill(const Box& r, int percent) {
    const int w = r.right - r.left + 1;
    const int h = r.bottom - r.top + 1;
    int fill = FillLength(h, percent);
    if (fill >= h) fill = h - 1;
    return Box{r.left, h - fill, w, h};
}

PieGeometry PieLayout(const Box& r, GaugeBorder border, int percent) {
    const int pad = border == GaugeBorder::bsSingle ? 1 : 0;
    const int w = r.right - r.left + pad;
    const int h = r.bottom - r.top + pad;
    const int mx = w / 2;
    const int my = h / 2;
    const long double angle = (percent / 50.0L + 0.5L) * kPi;
    PieGeometry pie;
    pie.bounds = Box{r.left, r.top, w, h};
    pie.start =
        GaugePoint{Rounded(mx * (1 - std::cos(angle))), Rounded(my * (1 - std::sin(angle)))};
    pie.end = GaugePoint{mx, 0};
    return pie;
}

NeedleGeometry NeedleLayout(const Box& r, GaugeBorder border, int controlWidth, int percent) {
    const int pad = border == GaugeBorder::bsSingle ? 1 : 0;
    const int x = r.left;
    const int y = r.top;
    const int w = r.right - r.left + pad;
    const int h = r.bottom - r.top + pad;
    const int mx = controlWidth / 2;
    const long double angle = percent / 100.0L * kPi;
    NeedleGeometry needle;
    needle.bounds = Box{x, y, w, 2 * h - 1};
    needle.radialStart = GaugePoint{x + w, r.bottom - 1};
    needle.radialEnd = GaugePoint{x, r.bottom - 1};
    needle.baseFrom = GaugePoint{x, r.bottom};
    needle.baseTo = GaugePoint{x + w, r.bottom};
    needle.pivot = GaugePoint{mx, r.bottom - 1};
    needle.tip = GaugePoint{Rounded(mx * (1 - std::cos(angle))),
                            Rounded((r.bottom - 1) * (1 - std::sin(angle)))};
    return needle;
}

GaugePoint TextOrigin(const Box& r, int textWidth, int textHeight) {
    return GaugePoint{(r.right - r.left + 1 - textWidth) / 2,
                      (r.bottom - r.top + 1 - textHeight) / 2};
}

bool GaugeState::SetMinValue(int value) {
    if (value == min_) return false;
    if (value > max_ && !loading_) {
        throw EInvalidOperation(OutOfRange(-2147483647LL, static_cast<long long>(max_) - 1));
    }
    min_ = value;
    if (progress_ < value) progress_ = value;
    return true;
}

bool GaugeState::SetMaxValue(int value) {
    if (value == max_) return false;
    if (value < min_ && !loading_) {
        throw EInvalidOperation(OutOfRange(static_cast<long long>(min_) + 1, 2147483647LL));
    }
    max_ = value;
    if (value < progress_) progress_ = value;
    return true;
}

bool GaugeState::SetProgress(int value) {
    const int before = percent();
    if (value < min_) {
        value = min_;
    } else if (value > max_) {
        value = max_;
    }
    if (value == progress_) return false;
    progress_ = value;
    return percent() != before;
}

}  // namespace tolvar
