#include "framework/image_win.h"

#include "framework/windowed_control_win.h"

namespace tolvar {

Image::Image(WindowedControl& parent, int left, int top, int width, int height)
    : GraphicControl(parent) {
    bounds_ = Bounds{left, top, width, height};
}

void Image::setPicture(Bitmap picture) {
    source_ = nullptr;
    picture_ = std::move(picture);
    invalidate();
}

void Image::setPictureSource(std::function<Bitmap()> source) {
    picture_ = source();
    source_ = std::move(source);
    invalidate();
}

void Image::releasePicture() {
    if (source_) picture_ = Bitmap();
}

Bitmap& Image::loaded() const {
    if (picture_.empty() && source_) picture_ = source_();
    return picture_;
}

void ReleaseResourcePictures(const WindowedControl& root) {
    for (const std::unique_ptr<Control>& child : root.children()) {
        if (auto* image = dynamic_cast<Image*>(child.get())) image->releasePicture();
        if (auto* windowed = dynamic_cast<const WindowedControl*>(child.get()))
            ReleaseResourcePictures(*windowed);
    }
}

void Image::setStretch(bool stretch) {
    stretch_ = stretch;
    invalidate();
}

void Image::paint(HDC dc) const {
    const Bitmap& picture = loaded();
    if (picture.empty()) return;
    MemoryDC source;
    ScopedSelect select(source.get(), picture.handle());
    if (stretch_) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, bounds_.width, bounds_.height, source.get(), 0, 0, picture.width(),
                   picture.height(), SRCCOPY);
    } else {
        BitBlt(dc, 0, 0, picture.width(), picture.height(), source.get(), 0, 0, SRCCOPY);
    }
}

}  // namespace tolvar
