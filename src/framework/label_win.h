#pragma once

// Text painted by its parent, transparent over whatever lies beneath unless
// told otherwise. To an accessibility client it is static text, and a new
// caption is announced.

#include <string>

#include "framework/control_win.h"
#include "framework/font_win.h"

namespace tolvar {

enum class TextAlign { Left, Center, Right };

class Label : public GraphicControl {
public:
    Label(WindowedControl& parent, int left, int top, int width, int height,
          const std::string& caption = "");

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    std::string captionText() const override { return caption_; }
    const FontSpec& font() const { return font_; }
    void setFont(const FontSpec& font);
    COLORREF textColor() const { return textColor_; }
    void setTextColor(COLORREF colour);
    // An opaque label fills its rectangle with the background colour first.
    void setTransparent(bool transparent);
    void setBackground(COLORREF colour);
    void setAlignment(TextAlign align);
    void setWordWrap(bool wrap);
    // Resizes the label to fit its caption on one line.
    void fitToText();

    void paint(HDC dc) const override;

private:
    std::string caption_;
    FontSpec font_;
    UniqueFont hfont_;
    COLORREF textColor_ = RGB(0, 0, 0);
    COLORREF background_ = RGB(255, 255, 255);
    bool transparent_ = true;
    TextAlign align_ = TextAlign::Left;
    bool wordWrap_ = false;
};

}  // namespace tolvar
