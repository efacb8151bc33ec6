#include "framework/picture.h"

#include <fstream>
#include <stdexcept>

#include "core/app_error.h"

namespace tolvar {

namespace {

// Larger files cannot hold a picture we would accept anyway, and reading
// them whole would only waste memory.
constexpr std::uint64_t kMaxPictureFileBytes = 256ull * 1024 * 1024;

std::uint8_t Blend(std::uint8_t source, std::uint8_t background, std::uint8_t alpha) {
    const unsigned a = alpha;
    const unsigned value = (unsigned{source} * a + unsigned{background} * (255u - a) + 127u) / 255u;
    return static_cast<std::uint8_t>(value);
}

}  // namespace

int Bgr24Stride(int width) {
    if (width <= 0) {
        return 0;
    }
    return (width * 3 + 3) / 4 * 4;
}

std::vector<std::uint8_t> ToBgr24Rows(const Picture& picture, Rgb background) {
    if (picture.empty()) {
        return {};
    }
    const std::size_t width = static_cast<std::size_t>(picture.width);
    const std::size_t height = static_cast<std::size_t>(picture.height);
    if (picture.rgba.size() != width * height * 4) {
        // Reading past the buffer would be far worse than failing loudly.
        throw std::invalid_argument("Picture pixel buffer does not match its dimensions");
    }

    const std::size_t stride = static_cast<std::size_t>(Bgr24Stride(picture.width));
    std::vector<std::uint8_t> rows(stride * height, 0);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* source = picture.rgba.data() + y * width * 4;
        std::uint8_t* target = rows.data() + y * stride;
        for (std::size_t x = 0; x < width; ++x, source += 4, target += 3) {
            const std::uint8_t alpha = source[3];
            target[0] = Blend(source[2], background.b, alpha);
            target[1] = Blend(source[1], background.g, alpha);
            target[2] = Blend(source[0], background.r, alpha);
        }
    }
    return rows;
}

void ThrowPictureError(const std::string& nameForErrors, const std::string& reason) {
    throw AppError("Cannot read picture file " + nameForErrors + ": " + reason);
}

void CheckPictureDimensions(std::uint64_t width, std::uint64_t height,
                            const std::string& nameForErrors) {
    if (width == 0 || height == 0) {
        ThrowPictureError(nameForErrors, "the picture has no pixels");
    }
    // Dividing instead of multiplying keeps huge header values from wrapping.
    if (width > kMaxPicturePixels || height > kMaxPicturePixels / width) {
        ThrowPictureError(nameForErrors, "the picture is too large (" + std::to_string(width) +
                                             " x " + std::to_string(height) + " pixels)");
    }
}

std::vector<std::uint8_t> ReadPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ThrowPictureError(path, "the file cannot be opened");
    }
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < 0) {
        ThrowPictureError(path, "the file cannot be read");
    }
    if (end == 0) {
        ThrowPictureError(path, "the file is empty");
    }
    if (static_cast<std::uint64_t>(end) > kMaxPictureFileBytes) {
        ThrowPictureError(path, "the file is too large to be a picture");
    }
    in.seekg(0, std::ios::beg);

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        ThrowPictureError(path, "the file cannot be read");
    }
    return bytes;
}

}  // namespace tolvar
