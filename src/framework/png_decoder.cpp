#include "framework/png_decoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace tolvar {

namespace {

constexpr std::size_t kPngSignatureSize = 8;
constexpr std::size_t kMessageCapacity = 200;

// libpng reports a fatal error through a callback that must not return. We
// jump back into the decoder from there instead of throwing, because a C++
// exception must never unwind through libpng's C frames.
struct PngFailure {
    std::jmp_buf jump;
    char message[kMessageCapacity];
};

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

// Owns the libpng structs. It lives in the frame that calls the setjmp
// functions, never inside one, so a longjmp can never skip its destructor.
struct PngReadSession {
    PngReadSession(const std::uint8_t* data, std::size_t size) : source{data, size, 0} {}
    ~PngReadSession() {
        if (png != nullptr) {
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        }
    }
    PngReadSession(const PngReadSession&) = delete;
    PngReadSession& operator=(const PngReadSession&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
    PngFailure failure{};
    PngSource source;
};

void StoreMessage(PngFailure& failure, const char* text) {
    std::size_t length = 0;
    if (text != nullptr) {
        for (; length + 1 < kMessageCapacity && text[length] != '\0'; ++length) {
            failure.message[length] = text[length];
        }
    }
    failure.message[length] = '\0';
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    StoreMessage(*failure, message);
    std::longjmp(failure->jump, 1);
}

// Warnings concern oddities libpng has already worked around (a stale
// colour profile, an unknown chunk); the picture is still usable and
// printing to stderr from a GUI program helps nobody.
void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep target, png_size_t length) {
    PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset) {
        png_error(png, "unexpected end of file");
    }
    std::memcpy(target, source->data + source->offset, length);
    source->offset += length;
}

// The two functions below hold the setjmp calls. They keep only trivially
// destructible locals and read nothing after a jump, so jumping back into
// them is well defined.

bool ReadPngHeader(PngReadSession& session, png_uint_32& width, png_uint_32& height) {
    if (setjmp(session.failure.jump) != 0) {
        return false;
    }
    session.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &session.failure, OnPngError, OnPngWarning);
    if (session.png == nullptr) {
        StoreMessage(session.failure, "the PNG reader could not be started");
        return false;
    }
    session.info = png_create_info_struct(session.png);
    if (session.info == nullptr) {
        StoreMessage(session.failure, "the PNG reader could not be started");
        return false;
    }
    png_set_read_fn(session.png, &session.source, ReadFromMemory);
    png_read_info(session.png, session.info);
    width = png_get_image_width(session.png, session.info);
    height = png_get_image_height(session.png, session.info);
    return true;
}

bool ReadPngPixels(PngReadSession& session, png_bytepp rows, std::size_t expectedRowBytes) {
    if (setjmp(session.failure.jump) != 0) {
        return false;
    }
    png_structp png = session.png;
    png_infop info = session.info;
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool hasTransparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (hasTransparencyChunk) {
        png_set_tRNS_to_alpha(png);
    }
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
        png_set_gray_to_rgb(png);
    }
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTransparencyChunk) {
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // The row buffers were sized for RGBA8; anything else would overrun them.
    if (png_get_rowbytes(png, info) != expectedRowBytes || png_get_channels(png, info) != 4 ||
        png_get_bit_depth(png, info) != 8) {
        StoreMessage(session.failure, "unsupported pixel format");
        return false;
    }
    png_read_image(png, rows);
    // Reading the end verifies the compressed stream and the trailing
    // chunks, so a file cut right after its pixel data is still caught.
    png_read_end(png, nullptr);
    return true;
}

[[noreturn]] void ThrowDamaged(const std::string& nameForErrors, const PngFailure& failure) {
    ThrowPictureError(nameForErrors, std::string("the PNG image is damaged or incomplete (") +
                                         failure.message + ")");
}

}  // namespace

Picture DecodePngBytes(const std::uint8_t* data, std::size_t size,
                       const std::string& nameForErrors) {
    if (data == nullptr || size < kPngSignatureSize ||
        png_sig_cmp(data, 0, kPngSignatureSize) != 0) {
        ThrowPictureError(nameForErrors, "not a valid PNG image");
    }

    PngReadSession session(data, size);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (!ReadPngHeader(session, width, height)) {
        ThrowDamaged(nameForErrors, session.failure);
    }
    CheckPictureDimensions(width, height, nameForErrors);

    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    picture.rgba.resize(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = picture.rgba.data() + y * rowBytes;
    }
    if (!ReadPngPixels(session, rows.data(), rowBytes)) {
        ThrowDamaged(nameForErrors, session.failure);
    }
    return picture;
}

Picture DecodePngFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadPictureFile(path);
    return DecodePngBytes(bytes.data(), bytes.size(), path);
}

}  // namespace tolvar
