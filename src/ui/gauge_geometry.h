#pragma once

// The progress gauge's rules without the drawing: the whole-number
// percentage, the fill lengths, the rectangles and points it draws with, and
// what a write of its range or value changes. All arithmetic is in extended
// floating point (long double) and truncates or rounds as the gauge always
// has, so the pictures come out pixel for pixel the same.

#include "core/app_error.h"
#include "ui/skin_geometry.h"

namespace tolvar {

// A property write the object's state does not allow (a gauge's minimum
// above its maximum). Nothing changed when it is raised.
class EInvalidOperation : public AppError {
public:
    using AppError::AppError;
};

// The drawing styles, in their fixed order (ordinals 0 to 4).
enum class TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

// bsSingle leaves a 1-pixel frame around the drawing.
enum class GaugeBorder { bsNone, bsSingle };

struct GaugePoint {
    int x = 0;
    int y = 0;
    bool operator==(const GaugePoint&) const = default;
};

// 0 when max equals min; otherwise (progress - min) * 100 / (max - min),
// truncated toward zero.
int PercentComplete(int minValue, int maxValue, int progress);

// span * (percent * 0.01), truncated toward zero.
int FillLength(int span, int percent);

// Rounds to the nearest integer, a half to the even neighbour.
long double RoundHalfEven(long double value);

// The rectangle the drawing fills: the control's (0, 0, w, h), shrunk by one
// pixel on every side with a single border.
Box GaugePaintRect(int width, int height, GaugeBorder border);

// The filled part of a horizontal bar in the paint rectangle r, empty (all
// zero) when nothing is filled. The end coordinates are the spans themselves,
// not offsets from r's corner.
Box HorizontalBarFill(const Box& r, int percent);
// The filled part of a vertical bar; at full height its top row stays unfilled
// unless a border pads it.
Box VerticalBarFill(const Box& r, int percent);

// The pie: its bounding box, and the two points its filled sector is drawn
// through, counter-clockwise from start to end (twelve o'clock).
struct PieGeometry {
    Box bounds;
    GaugePoint start;
    GaugePoint end;
};
PieGeometry PieLayout(const Box& r, GaugeBorder border, int percent);

// The needle dial: the half disc (a pie from radialStart to radialEnd over
// bounds), the base line, and the needle from its pivot to its tip.
struct NeedleGeometry {
    Box bounds;
    GaugePoint radialStart;
    GaugePoint radialEnd;
    GaugePoint baseFrom;
    GaugePoint baseTo;
    GaugePoint pivot;
    GaugePoint tip;
};
NeedleGeometry NeedleLayout(const Box& r, GaugeBorder border, int controlWidth, int percent);

// Where the percentage text of the given size starts in r.
GaugePoint TextOrigin(const Box& r, int textWidth, int textHeight);

// The range and value of a gauge, with the rules of their writes. Each
// setter tells whether the gauge must repaint at once.
class GaugeState {
public:
    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int progress() const { return progress_; }
    int percent() const { return PercentComplete(min_, max_, progress_); }

    // While loading from a form resource, the minimum and maximum may be set
    // in either order without an error.
    bool loading() const { return loading_; }
    void setLoading(bool loading) { loading_ = loading; }

    // A minimum above the maximum (outside loading) raises
    // EInvalidOperation "Value must be between -2147483647 and max-1".
    bool SetMinValue(int value);
    // A maximum below the minimum (outside loading) raises
    // EInvalidOperation "Value must be between min+1 and 2147483647".
    bool SetMaxValue(int value);
    // Clamped into the range; repaints only when the percentage changed.
    bool SetProgress(int value);

private:
    int min_ = 0;
    int max_ = 100;
    int progress_ = 0;
    bool loading_ = false;
};

}  // namespace tolvar
