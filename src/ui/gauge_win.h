#pragma once

// TGauge: a windowless progress gauge painted on its parent's surface. It
// shows how far a value has come between a minimum and a maximum as text, a
// horizontal or vertical bar, a pie or a needle dial, and can write the
// whole-number percentage over the drawing in inverting text. Every paint is
// composed in off-screen bitmaps and reaches the parent in one copy.

#include <optional>

#include "framework/bitmap_win.h"
#include "framework/control_win.h"
#include "framework/font_win.h"
#include "ui/gauge_geometry.h"

namespace tolvar {

class TGauge : public GraphicControl {
public:
    static constexpr int kDefaultSize = 100;

    TGauge(WindowedControl& parent, int left = 0, int top = 0, int width = kDefaultSize,
           int height = kDefaultSize);

    // The range and the value (GaugeState's rules; a range error raises
    // EInvalidOperation and changes nothing).
    int minValue() const { return state_.minValue(); }
    void setMinValue(int value);
    int maxValue() const { return state_.maxValue(); }
    void setMaxValue(int value);
    int progress() const { return state_.progress(); }
    void setProgress(int value);
    // Computed on every use.
    int percentComplete() const { return state_.percent(); }
    // While loading a window's settings the range may be set in either order.
    void setLoading(bool loading) { state_.setLoading(loading); }

    TGaugeKind kind() const { return kind_; }
    void setKind(TGaugeKind kind);
    bool showText() const { return showText_; }
    void setShowText(bool showText);
    GaugeBorder borderStyle() const { return border_; }
    void setBorderStyle(GaugeBorder border);
    COLORREF foreColor() const { return foreColor_; }
    void setForeColor(COLORREF colour);
    COLORREF backColor() const { return backColor_; }
    void setBackColor(COLORREF colour);
    // The colour around the pie and the dial: the parent's colour until one
    // is set.
    COLORREF color() const;
    void setColor(COLORREF colour);
    void setParentColor();
    // The font of the percentage text.
    const FontSpec& font() const { return font_; }
    void setFont(const FontSpec& font);

    void paint(HDC dc) const override;

    // How often a property write asked for a repaint at once, and how often
    // the gauge was painted: a write that keeps the whole percentage must not
    // cost a drawing.
    int repaintRequests() const { return repaintRequests_; }
    int paintCount() const { return paintCount_; }

private:
    // Invalidates the gauge's area and has the parent window paint it now.
    void repaint();
    void drawKind(HDC dc, const Box& r) const;
    void drawText(const Bitmap& image, HDC imageDc, const Box& r) const;

    GaugeState state_;
    TGaugeKind kind_ = TGaugeKind::gkHorizontalBar;
    bool showText_ = true;
    GaugeBorder border_ = GaugeBorder::bsSingle;
    COLORREF foreColor_ = RGB(0, 0, 0);
    COLORREF backColor_ = RGB(255, 255, 255);
    std::optional<COLORREF> color_;
    FontSpec font_;
    UniqueFont hfont_;
    int repaintRequests_ = 0;
    mutable int paintCount_ = 0;
};

}  // namespace tolvar
