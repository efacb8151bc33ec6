#include "framework/image_win.h"

#include "framework/windowed_control_win.h"

namespace tolvar {

Image::Image(WindowedControl& parent, int left, int top, int width, int height)
    : GraphicControl(parent) {
    bounds_ = Bounds{left, top, width, height};
}

void Image::setPicture(Bitmap picture) {
    picture_ = std::move(picture);
    invalidate();
}

void Image::setStretch(bool stretch) {
    stretch_ = stretch;
    invalidate();
}

void Image::paint(HDC dc) const {
    if (picture_.empty()) return;
    MemoryDC source;
    ScopedSelect select(source.get(), picture_.handle());
    if (stretch_) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, bounds_.width, bounds_.height, source.get(), 0, 0, picture_.width(),
                   picture_.height(), SRCCOPY);
    } else {
        BitBlt(dc, 0, 0, picture_.width(), picture_.height(), source.get(), 0, 0, SRCCOPY);
    }
}

}  // namespace tolvar
