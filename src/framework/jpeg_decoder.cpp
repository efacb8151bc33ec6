#include "framework/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE and size_t without declaring them
#include <limits>
#include <vector>

// Some libjpeg builds ship a header without C linkage guards.
extern "C" {
#include <jpeglib.h>
// After jpeglib.h: it needs that header's types.
#include <jerror.h>
}

namespace tolvar {

namespace {

// libjpeg's error_exit must not return. We jump back into the decoder from
// it instead of throwing, because a C++ exception must never unwind through
// libjpeg's C frames.
struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    JpegFailure* failure = static_cast<JpegFailure*>(info->client_data);
    (*info->err->format_message)(info, failure->message);
    std::longjmp(failure->jump, 1);
}

// libjpeg reports damaged data only as a warning and then invents pixels
// (a truncated file ends in flat grey), so a warning is treated as a failure.
// The exceptions describe files whose pixels are still exactly right.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;  // trace output
    }
    const int code = info->err->msg_code;
    if (code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR) {
        return;
    }
    OnJpegError(info);
}

// A GUI program has no use for libjpeg printing to stderr.
void IgnoreJpegOutput(j_common_ptr) {}

// Owns the libjpeg struct. It lives in the frame that calls the setjmp
// functions, never inside one, so a longjmp can never skip its destructor.
struct JpegReadSession {
    JpegReadSession() {
        info.err = jpeg_std_error(&failure.manager);
        failure.manager.error_exit = OnJpegError;
        failure.manager.emit_message = OnJpegMessage;
        failure.manager.output_message = IgnoreJpegOutput;
        failure.message[0] = '\0';
        info.client_data = &failure;
    }
    // Safe even when creation never happened: the struct starts zeroed and
    // libjpeg only frees what it allocated.
    ~JpegReadSession() { jpeg_destroy_decompress(&info); }
    JpegReadSession(const JpegReadSession&) = delete;
    JpegReadSession& operator=(const JpegReadSession&) = delete;

    jpeg_decompress_struct info{};
    JpegFailure failure{};
};

void StoreMessage(JpegFailure& failure, const char* text) {
    std::snprintf(failure.message, sizeof failure.message, "%s", text);
}

// The two functions below hold the setjmp calls. They keep only trivially
// destructible locals and read nothing after a jump, so jumping back into
// them is well defined.

bool ReadJpegHeader(JpegReadSession& session, const std::uint8_t* data, std::size_t size) {
    if (setjmp(session.failure.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&session.info);
    jpeg_mem_src(&session.info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&session.info, TRUE);
    return true;
}

// Writes packed RGB at the start of each row of `pixels`, whose rows are
// `stride` bytes apart, leaving room for the caller to widen them to RGBA.
bool ReadJpegPixels(JpegReadSession& session, std::uint8_t* pixels, std::size_t stride) {
    if (setjmp(session.failure.jump) != 0) {
        return false;
    }
    jpeg_decompress_struct& info = session.info;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    // The caller sized the buffer from the header; refuse anything that
    // would write past it.
    if (info.output_components != 3 || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        StoreMessage(session.failure, "unsupported pixel format");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + static_cast<std::size_t>(info.output_scanline) * stride;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            StoreMessage(session.failure, "the decoder stopped early");
            return false;
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

[[noreturn]] void ThrowDamaged(const std::string& nameForErrors, const JpegFailure& failure) {
    ThrowPictureError(nameForErrors, std::string("the JPEG image is damaged or incomplete (") +
                                         failure.message + ")");
}

// Widens each row from packed RGB to RGBA in place. Working right to left
// never overwrites an RGB triple before it has been read.
void WidenRgbRowsToRgba(Picture& picture) {
    const std::size_t width = static_cast<std::size_t>(picture.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        std::uint8_t* row = picture.rgba.data() + y * width * 4;
        for (std::size_t x = width; x-- > 0;) {
            const std::uint8_t r = row[x * 3];
            const std::uint8_t g = row[x * 3 + 1];
            const std::uint8_t b = row[x * 3 + 2];
            row[x * 4] = r;
            row[x * 4 + 1] = g;
            row[x * 4 + 2] = b;
            row[x * 4 + 3] = 0xFF;
        }
    }
}

}  // namespace

Picture DecodeJpegBytes(const std::uint8_t* data, std::size_t size,
                        const std::string& nameForErrors) {
    // Checking the start-of-image marker ourselves gives a plain message for
    // files that are not JPEGs at all, rather than libjpeg's marker jargon.
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        ThrowPictureError(nameForErrors, "not a valid JPEG image");
    }
    // jpeg_mem_src takes an unsigned long, which is 32 bits on Windows.
    if (size > std::numeric_limits<unsigned long>::max()) {
        ThrowPictureError(nameForErrors, "the file is too large to be a picture");
    }

    JpegReadSession session;
    if (!ReadJpegHeader(session, data, size)) {
        ThrowDamaged(nameForErrors, session.failure);
    }
    const J_COLOR_SPACE colorSpace = session.info.jpeg_color_space;
    if (colorSpace == JCS_CMYK || colorSpace == JCS_YCCK) {
        ThrowPictureError(nameForErrors,
                          "CMYK JPEG pictures are not supported; save the picture as RGB");
    }
    CheckPictureDimensions(session.info.image_width, session.info.image_height, nameForErrors);

    Picture picture;
    picture.width = static_cast<int>(session.info.image_width);
    picture.height = static_cast<int>(session.info.image_height);
    const std::size_t stride = static_cast<std::size_t>(picture.width) * 4;
    picture.rgba.resize(stride * static_cast<std::size_t>(picture.height));
    if (!ReadJpegPixels(session, picture.rgba.data(), stride)) {
        ThrowDamaged(nameForErrors, session.failure);
    }
    WidenRgbRowsToRgba(picture);
    return picture;
}

Picture DecodeJpegFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadPictureFile(path);
    return DecodeJpegBytes(bytes.data(), bytes.size(), path);
}

}  // namespace tolvar
