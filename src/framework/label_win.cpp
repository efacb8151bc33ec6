#include "framework/label_win.h"

#include "core/wide_text_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

Label::Label(WindowedControl& parent, int left, int top, int width, int height,
             const std::string& caption)
    : GraphicControl(parent), caption_(caption), hfont_(CreateFontFrom(font_)) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::StaticText;
}

void Label::setCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    invalidate();
    announce(EVENT_OBJECT_NAMECHANGE);
}

void Label::setFont(const FontSpec& font) {
    font_ = font;
    hfont_ = CreateFontFrom(font_);
    invalidate();
}

void Label::setTextColor(COLORREF colour) {
    textColor_ = colour;
    invalidate();
}

void Label::setTransparent(bool transparent) {
    transparent_ = transparent;
    invalidate();
}

void Label::setBackground(COLORREF colour) {
    background_ = colour;
    invalidate();
}

void Label::setAlignment(TextAlign align) {
    align_ = align;
    invalidate();
}

void Label::setWordWrap(bool wrap) {
    wordWrap_ = wrap;
    invalidate();
}

void Label::fitToText() {
    const ScreenDC screen;
    SIZE size{0, 0};
    {
        ScopedSelect select(screen.get(), hfont_.get());
        const std::wstring caption = Utf8ToWide(caption_);
        GetTextExtentPoint32W(screen.get(), caption.c_str(), static_cast<int>(caption.size()),
                              &size);
    }
    setSize(size.cx, size.cy);
}

void Label::paint(HDC dc) const {
    RECT r{0, 0, bounds_.width, bounds_.height};
    if (!transparent_) {
        UniqueBrush brush(CreateSolidBrush(background_));
        FillRect(dc, &r, brush.get());
    }
    ScopedSelect select(dc, hfont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor_);
    UINT format = DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
    if (align_ == TextAlign::Center) format |= DT_CENTER;
    if (align_ == TextAlign::Right) format |= DT_RIGHT;
    // Wide: a caption may hold a file name with any characters.
    std::wstring caption = Utf8ToWide(caption_);
    DrawTextW(dc, caption.data(), static_cast<int>(caption.size()), &r, format);
}

}  // namespace tolvar
