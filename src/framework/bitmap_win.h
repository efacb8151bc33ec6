#pragma once

// 24-bit bitmaps: what every picture of the program becomes once decoded,
// and what windows paint into before copying to the screen.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "framework/gdi_handles_win.h"
#include "framework/picture.h"

namespace tolvar {

class Bitmap {
public:
    Bitmap() = default;
    // A top-down 24-bit DIB section, all black.
    Bitmap(int width, int height);

    Bitmap(Bitmap&& o) noexcept { *this = std::move(o); }
    Bitmap& operator=(Bitmap&& o) noexcept {
        if (this != &o) {
            handle_ = std::move(o.handle_);
            bits_ = std::exchange(o.bits_, nullptr);
            width_ = std::exchange(o.width_, 0);
            height_ = std::exchange(o.height_, 0);
        }
        return *this;
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // A picture is assigned by copy in many places (a skin face into its
    // button); the copy is explicit so it is never made by accident.
    Bitmap clone() const;

    bool empty() const { return !handle_; }
    int width() const { return width_; }
    int height() const { return height_; }
    HBITMAP handle() const { return handle_.get(); }

    // Resizes to width by height; the content is then black.
    void setSize(int width, int height);

    // The colour at (x, y) as RGB(r, g, b); for tests and hit checks.
    COLORREF pixel(int x, int y) const;
    void setPixel(int x, int y, COLORREF colour);

    static Bitmap fromPicture(const Picture& picture, Rgb background);

private:
    std::uint8_t* row(int y) const;
    UniqueBitmap handle_;
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A memory device context with a bitmap selected, for drawing onto it.
class BitmapCanvas {
public:
    explicit BitmapCanvas(Bitmap& bitmap) : select_(dc_.get(), bitmap.handle()) {}
    HDC dc() const { return dc_.get(); }

private:
    MemoryDC dc_;
    ScopedSelect select_;
};

// Decodes a PNG file into target, which takes the picture's size; a
// transparent pixel shows the background colour. Throws AppError naming the
// file when it is missing or not a valid PNG.
void LoadPngAsBitmap(const std::string& path, Bitmap& target, Rgb background = {0, 0, 0});
Bitmap LoadPngAsBitmap(const std::string& path, Rgb background = {0, 0, 0});

// The same for JPEG files.
Bitmap LoadJpegAsBitmap(const std::string& path);

// A picture carried in the program as an RCDATA resource, PNG or JPEG.
// Throws AppError naming the resource when it is missing or cannot be read.
Bitmap LoadPictureResource(const std::string& name, Rgb background = {0, 0, 0});

}  // namespace tolvar
