#pragma once

// Writers of small PNG and JPEG images for tests: the decoders are checked
// against pictures whose every pixel the test chose.

#include <png.h>

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <optional>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace tolvar::test {

using Bytes = std::vector<std::uint8_t>;

struct PngImage {
    int width = 0;
    int height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<Bytes> rows;  // raw PNG row bytes: packed, 16-bit samples big-endian
    std::vector<png_color> palette;
    Bytes paletteAlpha;
    std::optional<png_color_16> transparentColour;
};

struct JpegImage {
    int width = 0;
    int height = 0;
    int components = 3;
    J_COLOR_SPACE colorSpace = JCS_RGB;
    Bytes samples;  // top-down, packed
    bool progressive = false;
};

// A failure while writing means the test itself is broken, so it stops the
// run instead of reporting a misleading result.
Bytes EncodePng(const PngImage& image);
Bytes EncodeJpeg(const JpegImage& image);
JpegImage UniformJpeg(int width, int height, Bytes sample, J_COLOR_SPACE colorSpace);

}  // namespace tolvar::test
