#include "support/picture_encoders.h"

#include <cstdio>
#include <cstdlib>

namespace tolvar::test {

namespace {

[[noreturn]] void AbortOnPngError(png_structp, png_const_charp message) {
    std::fprintf(stderr, "test PNG writer failed: %s\n", message);
    std::abort();
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

struct PngWriter {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, AbortOnPngError, nullptr);
    png_infop info = png_create_info_struct(png);
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

[[noreturn]] void AbortOnJpegError(j_common_ptr info) {
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    std::fprintf(stderr, "test JPEG writer failed: %s\n", message);
    std::abort();
}

struct JpegWriter {
    JpegWriter() {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = AbortOnJpegError;
        jpeg_create_compress(&info);
    }
    ~JpegWriter() {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

}  // namespace

Bytes EncodePng(const PngImage& image) {
    Bytes out;
    PngWriter writer;
    png_set_write_fn(writer.png, &out, AppendPngBytes, FlushNothing);
    png_set_IHDR(writer.png, writer.info, image.width, image.height, image.bitDepth,
                 image.colorType, image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) {
        png_set_PLTE(writer.png, writer.info, image.palette.data(),
                     static_cast<int>(image.palette.size()));
    }
    if (!image.paletteAlpha.empty()) {
        png_set_tRNS(writer.png, writer.info, image.paletteAlpha.data(),
                     static_cast<int>(image.paletteAlpha.size()), nullptr);
    }
    if (image.transparentColour) {
        png_color_16 colour = *image.transparentColour;
        png_set_tRNS(writer.png, writer.info, nullptr, 0, &colour);
    }
    png_write_info(writer.png, writer.info);
    std::vector<Bytes> rows = image.rows;
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) {
        pointers.push_back(row.data());
    }
    png_write_image(writer.png, pointers.data());
    png_write_end(writer.png, nullptr);
    return out;
}

Bytes EncodeJpeg(const JpegImage& image) {
    JpegWriter writer;
    jpeg_compress_struct& info = writer.info;
    jpeg_mem_dest(&info, &writer.buffer, &writer.size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = image.components;
    info.in_color_space = image.colorSpace;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    if (image.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    Bytes samples = image.samples;
    const std::size_t stride = static_cast<std::size_t>(image.width * image.components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = samples.data() + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return Bytes(writer.buffer, writer.buffer + writer.size);
}

JpegImage UniformJpeg(int width, int height, Bytes sample, J_COLOR_SPACE colorSpace) {
    JpegImage image{width, height, static_cast<int>(sample.size()), colorSpace, {}, false};
    for (int i = 0; i < width * height; ++i) {
        image.samples.insert(image.samples.end(), sample.begin(), sample.end());
    }
    return image;
}

}  // namespace tolvar::test
