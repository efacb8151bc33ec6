#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvar {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A decoded picture kept in one layout whatever its source format, so the
// code that turns it into a bitmap never has to care where it came from.
struct Picture {
    int width = 0;
    int height = 0;
    // Top-down rows of R,G,B,A bytes with no row padding; alpha is straight,
    // not premultiplied, so compositing can happen later against any colour.
    std::vector<std::uint8_t> rgba;

    bool empty() const { return width <= 0 || height <= 0; }

    // No bounds check: callers iterate over width x height.
    Rgba At(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(x)) *
                              4;
        return Rgba{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
    }
};

// Anything larger is treated as a damaged or hostile header rather than a
// real skin or window picture; it keeps one bad file from exhausting memory.
inline constexpr std::uint64_t kMaxPicturePixels = 64ull * 1024 * 1024;

// Bytes per row of a 24-bit DIB: rows are padded to a 4-byte boundary.
int Bgr24Stride(int width);

// Flattens the picture onto `background` and returns top-down B,G,R rows
// padded to Bgr24Stride(width), ready to copy into a top-down 24-bit DIB
// section. Padding bytes are zero.
std::vector<std::uint8_t> ToBgr24Rows(const Picture& picture, Rgb background);

// Reads a whole picture file. Throws AppError naming the path when the file
// cannot be opened or read, or is empty.
std::vector<std::uint8_t> ReadPictureFile(const std::string& path);

// Every picture loading failure produces the same message shape so users see
// which file is at fault.
[[noreturn]] void ThrowPictureError(const std::string& nameForErrors, const std::string& reason);

// Throws AppError when the dimensions are zero or exceed kMaxPicturePixels.
void CheckPictureDimensions(std::uint64_t width, std::uint64_t height,
                            const std::string& nameForErrors);

}  // namespace tolvar
