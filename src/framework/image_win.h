#pragma once

// A picture painted by its parent: at its natural size from the control's
// top-left corner, or stretched over the control.

#include "framework/bitmap_win.h"
#include "framework/control_win.h"

namespace tolvar {

class Image : public GraphicControl {
public:
    Image(WindowedControl& parent, int left, int top, int width, int height);

    // The image keeps its own copy of what it shows.
    void setPicture(Bitmap picture);
    // For drawing onto the picture in place; call invalidate() after.
    Bitmap& picture() { return picture_; }
    const Bitmap& picture() const { return picture_; }

    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);

    void paint(HDC dc) const override;

private:
    Bitmap picture_;
    bool stretch_ = false;
};

}  // namespace tolvar
