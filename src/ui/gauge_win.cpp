#include "ui/gauge_win.h"

#include <cstdio>
#include <string>

#include "framework/bitmap_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

namespace {

RECT ToRect(const Box& b) {
    return RECT{b.left, b.top, b.right, b.bottom};
}

void FillWith(HDC dc, const Box& b, COLORREF colour) {
    RECT r = ToRect(b);
    UniqueBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

// An off-screen bitmap that can be made like another: the same size, filled
// with the system's window-frame colour.
class TBltBitmap {
public:
    void MakeLike(const Bitmap& source) {
        bitmap_.setSize(source.width(), source.height());
        BitmapCanvas canvas(bitmap_);
        RECT all{0, 0, bitmap_.width(), bitmap_.height()};
        UniqueBrush brush(CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME)));
        FillRect(canvas.dc(), &all, brush.get());
    }
    Bitmap& bitmap() { return bitmap_; }

private:
    Bitmap bitmap_;
};

// The blackness raster operation over the whole bitmap.
void PaintBlack(HDC dc, int width, int height) {
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
}

// A pen and a brush selected for one drawing step.
class PenAndBrush {
public:
    PenAndBrush(HDC dc, COLORREF pen, COLORREF brush)
        : pen_(CreatePen(PS_SOLID, 1, pen)),
          brush_(CreateSolidBrush(brush)),
          selectPen_(dc, pen_.get()),
          selectBrush_(dc, brush_.get()) {}

private:
    UniquePen pen_;
    UniqueBrush brush_;
    ScopedSelect selectPen_;
    ScopedSelect selectBrush_;
};

}  // namespace

TGauge::TGauge(WindowedControl& parent, int left, int top, int width, int height)
    : GraphicControl(parent), hfont_(CreateFontFrom(font_)) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::ProgressBar;
    accessible.value = [this] { return std::to_string(percentComplete()) + "%"; };
}

void TGauge::repaint() {
    ++repaintRequests_;
    invalidate();
    WindowedControl* owner = parent();
    if (owner && owner->handle() && visible_) UpdateWindow(owner->handle());
}

void TGauge::setMinValue(int value) {
    if (!state_.SetMinValue(value)) return;
    repaint();
    announce(EVENT_OBJECT_VALUECHANGE);
}

void TGauge::setMaxValue(int value) {
    if (!state_.SetMaxValue(value)) return;
    repaint();
    announce(EVENT_OBJECT_VALUECHANGE);
}

void TGauge::setProgress(int value) {
    // Only a new whole percentage repaints, and only that is told.
    if (!state_.SetProgress(value)) return;
    repaint();
    announce(EVENT_OBJECT_VALUECHANGE);
}

void TGauge::setKind(TGaugeKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    repaint();
}

void TGauge::setShowText(bool showText) {
    if (showText == showText_) return;
    showText_ = showText;
    repaint();
}

void TGauge::setBorderStyle(GaugeBorder border) {
    if (border == border_) return;
    border_ = border;
    repaint();
}

void TGauge::setForeColor(COLORREF colour) {
    if (colour == foreColor_) return;
    foreColor_ = colour;
    repaint();
}

void TGauge::setBackColor(COLORREF colour) {
    if (colour == backColor_) return;
    backColor_ = colour;
    repaint();
}

COLORREF TGauge::color() const {
    if (color_) return *color_;
    return parent() ? parent()->color() : GetSysColor(COLOR_BTNFACE);
}

void TGauge::setColor(COLORREF colour) {
    color_ = colour;
    invalidate();
}

void TGauge::setParentColor() {
    color_.reset();
    invalidate();
}

void TGauge::setFont(const FontSpec& font) {
    if (font == font_) return;
    font_ = font;
    hfont_ = CreateFontFrom(font_);
    invalidate();
}

void TGauge::paint(HDC dc) const {
    ++paintCount_;
    const int w = bounds_.width;
    const int h = bounds_.height;
    if (w <= 0 || h <= 0) return;

    // 1. The image, all black.
    Bitmap image(w, h);
    BitmapCanvas imageCanvas(image);
    PaintBlack(imageCanvas.dc(), w, h);
    // 2. The paint rectangle.
    const Box r = GaugePaintRect(w, h, border_);
    // 3.-5. The overlay, black, with the drawing inside R, XORed into the
    // black image: the image then equals the overlay, and with a single
    // border the black ring outside R is the frame.
    {
        TBltBitmap overlay;
        overlay.MakeLike(image);
        BitmapCanvas overlayCanvas(overlay.bitmap());
        PaintBlack(overlayCanvas.dc(), w, h);
        drawKind(overlayCanvas.dc(), r);
        BitBlt(imageCanvas.dc(), 0, 0, w, h, overlayCanvas.dc(), 0, 0, SRCINVERT);
    }
    // 6. The inverting percentage.
    if (showText_) drawText(image, imageCanvas.dc(), r);
    // 7. One copy to the surface.
    BitBlt(dc, 0, 0, w, h, imageCanvas.dc(), 0, 0, SRCCOPY);
}

void TGauge::drawKind(HDC dc, const Box& r) const {
    const int percent = percentComplete();
    switch (kind_) {
        case TGaugeKind::gkText:
            FillWith(dc, r, backColor_);
            break;
        case TGaugeKind::gkHorizontalBar:
        case TGaugeKind::gkVerticalBar: {
            FillWith(dc, r, backColor_);
            const Box fill = kind_ == TGaugeKind::gkHorizontalBar ? HorizontalBarFill(r, percent)
                                                                  : VerticalBarFill(r, percent);
            if (fill.width() > 0 && fill.height() > 0) FillWith(dc, fill, foreColor_);
            break;
        }
        case TGaugeKind::gkPie: {
            FillWith(dc, r, color());
            const PieGeometry pie = PieLayout(r, border_, percent);
            const Box& b = pie.bounds;
            {
                PenAndBrush tools(dc, foreColor_, backColor_);
                Ellipse(dc, b.left, b.top, b.right, b.bottom);
            }
            if (percent >= 1) {
                PenAndBrush tools(dc, foreColor_, foreColor_);
                Pie(dc, b.left, b.top, b.right, b.bottom, pie.start.x, pie.start.y, pie.end.x,
                    pie.end.y);
            }
            break;
        }
        case TGaugeKind::gkNeedle: {
            FillWith(dc, r, color());
            const NeedleGeometry needle = NeedleLayout(r, border_, bounds_.width, percent);
            const Box& b = needle.bounds;
            PenAndBrush tools(dc, foreColor_, backColor_);
            Pie(dc, b.left, b.top, b.right, b.bottom, needle.radialStart.x, needle.radialStart.y,
                needle.radialEnd.x, needle.radialEnd.y);
            MoveToEx(dc, needle.baseFrom.x, needle.baseFrom.y, nullptr);
            LineTo(dc, needle.baseTo.x, needle.baseTo.y);
            if (percent >= 1) {
                MoveToEx(dc, needle.pivot.x, needle.pivot.y, nullptr);
                LineTo(dc, needle.tip.x, needle.tip.y);
            }
            break;
        }
    }
}

void TGauge::drawText(const Bitmap& image, HDC imageDc, const Box& r) const {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percentComplete());
    const int length = static_cast<int>(std::char_traits<char>::length(text));

    // White text on black, XORed into the image: each text pixel shows the
    // inverse of the colour beneath it.
    const int width = image.width();
    const int height = image.height();
    TBltBitmap textBitmap;
    textBitmap.MakeLike(image);
    BitmapCanvas canvas(textBitmap.bitmap());
    PaintBlack(canvas.dc(), width, height);
    SetBkMode(canvas.dc(), TRANSPARENT);
    ScopedSelect font(canvas.dc(), hfont_.get());
    SetTextColor(canvas.dc(), RGB(255, 255, 255));
    SIZE size{0, 0};
    GetTextExtentPoint32A(canvas.dc(), text, length, &size);
    const GaugePoint at = TextOrigin(r, size.cx, size.cy);
    RECT clip = ToRect(r);
    ExtTextOutA(canvas.dc(), at.x, at.y, ETO_CLIPPED, &clip, text, static_cast<UINT>(length),
                nullptr);
    BitBlt(imageDc, 0, 0, width, height, canvas.dc(), 0, 0, SRCINVERT);
}

}  // namespace tolvar
