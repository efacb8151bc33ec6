#include "framework/bitmap_win.h"

#include <cstring>

#include "core/app_error.h"
#include "framework/jpeg_decoder.h"
#include "framework/png_decoder.h"
#include "framework/resource_data.h"

namespace tolvar {

Bitmap::Bitmap(int width, int height) {
    setSize(width, height);
}

void Bitmap::setSize(int width, int height) {
    handle_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
    if (width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, so row 0 is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!h) throw AppError("Out of system resources: cannot create a bitmap");
    handle_.reset(h);
    bits_ = bits;
    width_ = width;
    height_ = height;
    std::memset(bits_, 0, static_cast<std::size_t>(Bgr24Stride(width)) * height);
}

Bitmap Bitmap::clone() const {
    Bitmap copy;
    if (empty()) return copy;
    copy.setSize(width_, height_);
    GdiFlush();  // pending GDI drawing must reach the bits before they are copied
    std::memcpy(copy.bits_, bits_, static_cast<std::size_t>(Bgr24Stride(width_)) * height_);
    return copy;
}

std::uint8_t* Bitmap::row(int y) const {
    return static_cast<std::uint8_t*>(bits_) + static_cast<std::size_t>(Bgr24Stride(width_)) * y;
}

COLORREF Bitmap::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    GdiFlush();
    const std::uint8_t* p = row(y) + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

void Bitmap::setPixel(int x, int y, COLORREF colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    GdiFlush();
    std::uint8_t* p = row(y) + 3 * x;
    p[0] = GetBValue(colour);
    p[1] = GetGValue(colour);
    p[2] = GetRValue(colour);
}

Bitmap Bitmap::fromPicture(const Picture& picture, Rgb background) {
    Bitmap bitmap(picture.width, picture.height);
    if (bitmap.empty()) return bitmap;
    const std::vector<std::uint8_t> rows = ToBgr24Rows(picture, background);
    std::memcpy(bitmap.bits_, rows.data(), rows.size());
    return bitmap;
}

void LoadPngAsBitmap(const std::string& path, Bitmap& target, Rgb background) {
    target = Bitmap::fromPicture(DecodePngFile(path), background);
}

Bitmap LoadPngAsBitmap(const std::string& path, Rgb background) {
    return Bitmap::fromPicture(DecodePngFile(path), background);
}

Bitmap LoadPictureResource(const std::string& name, Rgb background) {
    const std::span<const std::uint8_t> data = ResourceData(name, "picture");
    if (data.size() < 4) throw AppError("Cannot read picture resource " + name);
    const std::uint8_t* bytes = data.data();
    const std::size_t size = data.size();
    const std::string label = "resource " + name;
    // PNG files begin with 0x89 'P' 'N' 'G'; anything else is taken for JPEG.
    if (bytes[0] == 0x89 && bytes[1] == 'P') {
        return Bitmap::fromPicture(DecodePngBytes(bytes, size, label), background);
    }
    return Bitmap::fromPicture(DecodeJpegBytes(bytes, size, label), background);
}

Bitmap LoadJpegAsBitmap(const std::string& path) {
    return Bitmap::fromPicture(DecodeJpegFile(path), Rgb{0, 0, 0});
}

}  // namespace tolvar
