#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "core/app_error.h"
#include "framework/jpeg_decoder.h"
#include "framework/picture.h"
#include "framework/png_decoder.h"
#include "support/picture_encoders.h"

namespace tolvar {
void PrintTo(const Rgba& c, std::ostream* os) {
    *os << "rgba(" << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ',' << int{c.a} << ')';
}
}  // namespace tolvar

namespace {

using tolvar::AppError;
using tolvar::Picture;
using tolvar::Rgba;
using Bytes = std::vector<std::uint8_t>;
using namespace tolvar::test;

// Deterministic noise: it compresses badly, which gives the truncation tests
// a long pixel stream to cut through.
Bytes Noise(std::size_t count) {
    Bytes bytes(count);
    std::uint32_t state = 12345;
    for (std::uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

PngImage NoisyRgbPng() {
    PngImage image{32, 32, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {}, {}};
    const Bytes noise = Noise(32 * 32 * 3);
    for (int y = 0; y < 32; ++y) {
        image.rows.emplace_back(noise.begin() + y * 96, noise.begin() + (y + 1) * 96);
    }
    return image;
}

JpegImage NoisyRgbJpeg() {
    return JpegImage{32, 32, 3, JCS_RGB, Noise(32 * 32 * 3), false};
}

std::uint32_t ReadBigEndian32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

void WriteBigEndian32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

// Offset of the first chunk of `type`, counted from its length field.
std::size_t FindPngChunk(const Bytes& png, const char* type) {
    for (std::size_t at = 8; at + 8 <= png.size(); at += 12 + ReadBigEndian32(png, at)) {
        if (std::equal(type, type + 4, png.begin() + static_cast<std::ptrdiff_t>(at + 4))) {
            return at;
        }
    }
    throw std::runtime_error(std::string("test PNG has no chunk ") + type);
}

// Offset of the first JPEG marker with this code, pointing at its 0xFF byte.
std::size_t FindJpegMarker(const Bytes& jpeg, std::uint8_t code) {
    for (std::size_t at = 2; at + 4 <= jpeg.size(); at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3])) {
        if (jpeg[at] == 0xFF && jpeg[at + 1] == code) {
            return at;
        }
    }
    throw std::runtime_error("test JPEG lacks the marker");
}

std::vector<Rgba> Pixels(const Picture& picture) {
    const std::size_t expected =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4;
    if (picture.rgba.size() != expected) {
        ADD_FAILURE() << "pixel buffer holds " << picture.rgba.size() << " bytes, expected "
                      << expected;
        return {};
    }
    std::vector<Rgba> pixels;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            pixels.push_back(picture.At(x, y));
        }
    }
    return pixels;
}

Picture DecodePng(const PngImage& image) {
    const Bytes bytes = EncodePng(image);
    return tolvar::DecodePngBytes(bytes.data(), bytes.size(), "test.png");
}

Picture DecodeJpeg(const JpegImage& image) {
    const Bytes bytes = EncodeJpeg(image);
    return tolvar::DecodeJpegBytes(bytes.data(), bytes.size(), "test.jpg");
}

::testing::AssertionResult AllPixelsNear(const Picture& picture, Rgba expected, int tolerance) {
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgba p = picture.At(x, y);
            if (std::abs(p.r - expected.r) > tolerance || std::abs(p.g - expected.g) > tolerance ||
                std::abs(p.b - expected.b) > tolerance || p.a != expected.a) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ',' << y << ") is " << ::testing::PrintToString(p)
                       << ", expected " << ::testing::PrintToString(expected);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Runs `decode` and checks it fails with an AppError that names the file.
template <typename Decode>
void ExpectErrorNaming(const std::string& name, Decode decode) {
    try {
        decode();
        ADD_FAILURE() << "decoding " << name << " should have failed";
    } catch (const AppError& error) {
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
    }
}

// ---- PNG colour types, depths and transforms

TEST(PngDecoderTest, RgbOddWidthKeepsChannelAndRowOrderAndAddsOpaqueAlpha) {
    const Picture picture =
        DecodePng({3,
                   2,
                   PNG_COLOR_TYPE_RGB,
                   8,
                   false,
                   {{255, 0, 0, 0, 255, 0, 0, 0, 255}, {10, 20, 30, 40, 50, 60, 70, 80, 90}},
                   {},
                   {},
                   {}});
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(Pixels(picture), (std::vector<Rgba>{{255, 0, 0, 255},
                                                  {0, 255, 0, 255},
                                                  {0, 0, 255, 255},
                                                  {10, 20, 30, 255},
                                                  {40, 50, 60, 255},
                                                  {70, 80, 90, 255}}));
}

TEST(PngDecoderTest, PaletteExpandsToColoursWithTransparencyOnlyWhereGiven) {
    const std::vector<png_color> palette{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    PngImage image{4, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{2, 0, 1, 3}}, palette, {}, {}};
    EXPECT_EQ(
        Pixels(DecodePng(image)),
        (std::vector<Rgba>{{0, 0, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {9, 8, 7, 255}}));

    // tRNS may be shorter than the palette; entries past its end stay opaque.
    image.paletteAlpha = {0, 128};
    EXPECT_EQ(
        Pixels(DecodePng(image)),
        (std::vector<Rgba>{{0, 0, 255, 255}, {255, 0, 0, 0}, {0, 255, 0, 128}, {9, 8, 7, 255}}));
}

TEST(PngDecoderTest, PackedFourBitPaletteWithOddWidthUnpacksTheLastHalfByte) {
    const std::vector<png_color> palette{{0, 0, 0}, {10, 10, 10}, {20, 20, 20}, {30, 30, 30}};
    const Picture picture =
        DecodePng({3, 1, PNG_COLOR_TYPE_PALETTE, 4, false, {{0x12, 0x30}}, palette, {}, {}});
    EXPECT_EQ(Pixels(picture),
              (std::vector<Rgba>{{10, 10, 10, 255}, {20, 20, 20, 255}, {30, 30, 30, 255}}));
}

TEST(PngDecoderTest, GrayOfEveryDepthSpreadsToRgbOverTheFullRange) {
    EXPECT_EQ(Pixels(DecodePng({2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {{0, 200}}, {}, {}, {}})),
              (std::vector<Rgba>{{0, 0, 0, 255}, {200, 200, 200, 255}}));
    // Two-bit levels 0..3 must stretch to 0..255, not stay dark.
    EXPECT_EQ(Pixels(DecodePng({4, 1, PNG_COLOR_TYPE_GRAY, 2, false, {{0b00011011}}, {}, {}, {}})),
              (std::vector<Rgba>{
                  {0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 255}}));
}

TEST(PngDecoderTest, GrayAlphaKeepsItsAlpha) {
    const Picture picture = DecodePng(
        {3, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {{50, 0, 100, 255, 150, 77}}, {}, {}, {}});
    EXPECT_EQ(Pixels(picture),
              (std::vector<Rgba>{{50, 50, 50, 0}, {100, 100, 100, 255}, {150, 150, 150, 77}}));
}

TEST(PngDecoderTest, ColourKeyTransparencyMakesOnlyMatchingPixelsClear) {
    png_color_16 rgbKey{};
    rgbKey.red = 1;
    rgbKey.green = 2;
    rgbKey.blue = 3;
    EXPECT_EQ(Pixels(DecodePng(
                  {2, 1, PNG_COLOR_TYPE_RGB, 8, false, {{1, 2, 3, 1, 2, 4}}, {}, {}, rgbKey})),
              (std::vector<Rgba>{{1, 2, 3, 0}, {1, 2, 4, 255}}));

    png_color_16 grayKey{};
    grayKey.gray = 7;
    EXPECT_EQ(Pixels(DecodePng({2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {{7, 8}}, {}, {}, grayKey})),
              (std::vector<Rgba>{{7, 7, 7, 0}, {8, 8, 8, 255}}));
}

TEST(PngDecoderTest, SixteenBitSamplesKeepTheirHighByte) {
    const Picture rgb = DecodePng(
        {1, 1, PNG_COLOR_TYPE_RGB, 16, false, {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}}, {}, {}, {}});
    EXPECT_EQ(Pixels(rgb), (std::vector<Rgba>{{0x12, 0xAB, 0xFF, 255}}));

    const Picture rgba = DecodePng({1,
                                    1,
                                    PNG_COLOR_TYPE_RGB_ALPHA,
                                    16,
                                    false,
                                    {{0x00, 0xFF, 0x80, 0x01, 0xC0, 0xFF, 0x80, 0x00}},
                                    {},
                                    {},
                                    {}});
    EXPECT_EQ(Pixels(rgba), (std::vector<Rgba>{{0x00, 0x80, 0xC0, 0x80}}));
}

TEST(PngDecoderTest, RgbaPartialAlphaIsKeptStraightNotPremultiplied) {
    const Picture picture = DecodePng({2,
                                       1,
                                       PNG_COLOR_TYPE_RGB_ALPHA,
                                       8,
                                       false,
                                       {{200, 100, 50, 128, 255, 255, 255, 0}},
                                       {},
                                       {},
                                       {}});
    EXPECT_EQ(Pixels(picture), (std::vector<Rgba>{{200, 100, 50, 128}, {255, 255, 255, 0}}));
}

TEST(PngDecoderTest, InterlacedPicturesAssembleEveryAdam7Pass) {
    // 5x1 leaves most passes empty; 9x7 gives every pass a partial last block.
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{5, 1}, {9, 7}}) {
        PngImage image{width, height, PNG_COLOR_TYPE_RGB, 8, true, {}, {}, {}, {}};
        std::vector<Rgba> expected;
        for (int y = 0; y < height; ++y) {
            Bytes row;
            for (int x = 0; x < width; ++x) {
                const Rgba p{static_cast<std::uint8_t>(x * 20), static_cast<std::uint8_t>(y * 30),
                             static_cast<std::uint8_t>(x + y), 255};
                row.insert(row.end(), {p.r, p.g, p.b});
                expected.push_back(p);
            }
            image.rows.push_back(row);
        }
        const Picture picture = DecodePng(image);
        EXPECT_EQ(picture.width, width);
        EXPECT_EQ(picture.height, height);
        EXPECT_EQ(Pixels(picture), expected) << width << 'x' << height;
    }
}

// ---- PNG damage detected from memory

TEST(PngDecoderTest, AbsurdHeaderDimensionsAreRefusedBeforeAllocating) {
    Bytes png = EncodePng({1, 1, PNG_COLOR_TYPE_RGB, 8, false, {{1, 2, 3}}, {}, {}, {}});
    const std::size_t ihdr = FindPngChunk(png, "IHDR");
    WriteBigEndian32(png, ihdr + 8, 10000);
    WriteBigEndian32(png, ihdr + 12, 10000);
    // Keep the CRC valid so the size check, not the checksum, has to catch it.
    const uLong crc = crc32(0, png.data() + ihdr + 4, 4 + 13);
    WriteBigEndian32(png, ihdr + 8 + 13, static_cast<std::uint32_t>(crc));
    try {
        tolvar::DecodePngBytes(png.data(), png.size(), "huge.png");
        ADD_FAILURE() << "a 10000x10000 header should be refused";
    } catch (const AppError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("huge.png"), std::string::npos) << message;
        EXPECT_NE(message.find("too large"), std::string::npos) << message;
    }
}

TEST(PngDecoderTest, DamagedOrIncompletePixelDataIsAnError) {
    const Bytes png = EncodePng(NoisyRgbPng());
    const std::size_t idat = FindPngChunk(png, "IDAT");

    Bytes badCrc = png;
    badCrc[idat + 8 + 10] ^= 0x55;
    ExpectErrorNaming("crc.png",
                      [&] { tolvar::DecodePngBytes(badCrc.data(), badCrc.size(), "crc.png"); });

    // Every pixel row is present but the end chunk is gone.
    const std::size_t iend = FindPngChunk(png, "IEND");
    ExpectErrorNaming("noend.png", [&] { tolvar::DecodePngBytes(png.data(), iend, "noend.png"); });

    // A signature alone is not a picture.
    ExpectErrorNaming("sig.png", [&] { tolvar::DecodePngBytes(png.data(), 8, "sig.png"); });
}

// ---- JPEG

TEST(JpegDecoderTest, UniformGrayAtOddSizeDecodesExactly) {
    const Picture picture = DecodeJpeg(UniformJpeg(7, 3, {123}, JCS_GRAYSCALE));
    EXPECT_EQ(picture.width, 7);
    EXPECT_EQ(picture.height, 3);
    ASSERT_EQ(picture.rgba.size(), 7u * 3u * 4u);
    EXPECT_TRUE(AllPixelsNear(picture, {123, 123, 123, 255}, 0));
}

TEST(JpegDecoderTest, UniformColourAtOddSizeDecodesWithinRounding) {
    const Picture picture = DecodeJpeg(UniformJpeg(7, 3, {200, 40, 90}, JCS_RGB));
    EXPECT_EQ(picture.width, 7);
    EXPECT_EQ(picture.height, 3);
    ASSERT_EQ(picture.rgba.size(), 7u * 3u * 4u);
    EXPECT_TRUE(AllPixelsNear(picture, {200, 40, 90, 255}, 2));
}

TEST(JpegDecoderTest, QuadrantsStayInPlaceForBaselineAndProgressive) {
    // Each 8x8 block is flat gray, so compression cannot blur the quadrants;
    // a flipped or mirrored decode would move them.
    const std::uint8_t levels[2][2] = {{240, 20}, {100, 180}};
    for (const bool progressive : {false, true}) {
        JpegImage image{16, 16, 3, JCS_RGB, {}, progressive};
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const std::uint8_t v = levels[y / 8][x / 8];
                image.samples.insert(image.samples.end(), {v, v, v});
            }
        }
        const Picture picture = DecodeJpeg(image);
        ASSERT_EQ(picture.rgba.size(), 16u * 16u * 4u);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const Rgba p = picture.At(x, y);
                const int v = levels[y / 8][x / 8];
                EXPECT_NEAR(p.r, v, 2) << x << ',' << y << " progressive=" << progressive;
                EXPECT_NEAR(p.g, v, 2) << x << ',' << y << " progressive=" << progressive;
                EXPECT_NEAR(p.b, v, 2) << x << ',' << y << " progressive=" << progressive;
                EXPECT_EQ(p.a, 255);
            }
        }
    }
}

TEST(JpegDecoderTest, CmykIsRefusedWithAnError) {
    const Bytes jpeg = EncodeJpeg(UniformJpeg(8, 8, {0, 0, 0, 0}, JCS_CMYK));
    ExpectErrorNaming("print.jpg",
                      [&] { tolvar::DecodeJpegBytes(jpeg.data(), jpeg.size(), "print.jpg"); });
}

// Stray bytes between markers are common in camera files and leave the
// pixels intact, so being strict about damage must not reject them.
TEST(JpegDecoderTest, StrayBytesBetweenMarkersAreTolerated) {
    Bytes jpeg = EncodeJpeg(UniformJpeg(8, 8, {77}, JCS_GRAYSCALE));
    const std::size_t quantTables = FindJpegMarker(jpeg, 0xDB);
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(quantTables), {0x01, 0x02, 0x03});
    const Picture picture = tolvar::DecodeJpegBytes(jpeg.data(), jpeg.size(), "stray.jpg");
    ASSERT_EQ(picture.rgba.size(), 8u * 8u * 4u);
    EXPECT_TRUE(AllPixelsNear(picture, {77, 77, 77, 255}, 0));
}

TEST(JpegDecoderTest, AbsurdHeaderDimensionsAreRefusedBeforeAllocating) {
    Bytes jpeg = EncodeJpeg(UniformJpeg(8, 8, {77}, JCS_GRAYSCALE));
    const std::size_t frame = FindJpegMarker(jpeg, 0xC0);
    // Height then width, big-endian, after the length and precision bytes.
    jpeg[frame + 5] = 10000 >> 8;
    jpeg[frame + 6] = 10000 & 0xFF;
    jpeg[frame + 7] = 10000 >> 8;
    jpeg[frame + 8] = 10000 & 0xFF;
    try {
        tolvar::DecodeJpegBytes(jpeg.data(), jpeg.size(), "huge.jpg");
        ADD_FAILURE() << "a 10000x10000 header should be refused";
    } catch (const AppError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("huge.jpg"), std::string::npos) << message;
        EXPECT_NE(message.find("too large"), std::string::npos) << message;
    }
}

// ---- Reading from files, and every way a file can be unusable

class PictureFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        directory_ = std::filesystem::temp_directory_path() /
                     (std::string("tolvar_picture_") + test->name());
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::filesystem::path path = directory_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

    std::filesystem::path directory_;
};

// PNG signatures and JPEG data contain CR, LF and 0x1A bytes that a text-mode
// read would mangle.
TEST_F(PictureFileTest, ValidFilesDecodeByteForByte) {
    Bytes crlf{0x0D, 0x0A, 0x1A, 0x0A, 0x0D, 0x0A};
    const std::string png =
        Write("img1.png", EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, false, {crlf}, {}, {}, {}}));
    EXPECT_EQ(Pixels(tolvar::DecodePngFile(png)),
              (std::vector<Rgba>{{0x0D, 0x0A, 0x1A, 255}, {0x0A, 0x0D, 0x0A, 255}}));

    const std::string jpg = Write("img1.jpg", EncodeJpeg(UniformJpeg(5, 3, {13}, JCS_GRAYSCALE)));
    const Picture picture = tolvar::DecodeJpegFile(jpg);
    ASSERT_EQ(picture.rgba.size(), 5u * 3u * 4u);
    EXPECT_TRUE(AllPixelsNear(picture, {13, 13, 13, 255}, 0));
}

TEST_F(PictureFileTest, MissingEmptyAndGarbageFilesAreErrorsNamingThePath) {
    const std::string missing = PathOf("img1.png");
    ExpectErrorNaming(missing, [&] { tolvar::DecodePngFile(missing); });
    ExpectErrorNaming(missing, [&] { tolvar::DecodeJpegFile(missing); });

    const std::string empty = Write("empty.png", {});
    ExpectErrorNaming(empty, [&] { tolvar::DecodePngFile(empty); });
    ExpectErrorNaming(empty, [&] { tolvar::DecodeJpegFile(empty); });

    const std::string text = "this is not a picture at all";
    const std::string garbage = Write("garbage.jpg", Bytes(text.begin(), text.end()));
    ExpectErrorNaming(garbage, [&] { tolvar::DecodePngFile(garbage); });
    ExpectErrorNaming(garbage, [&] { tolvar::DecodeJpegFile(garbage); });
}

TEST_F(PictureFileTest, TruncatedPngCutInsideItsPixelDataIsAnError) {
    const Bytes png = EncodePng(NoisyRgbPng());
    const std::size_t idat = FindPngChunk(png, "IDAT");
    const std::size_t cut = idat + 8 + ReadBigEndian32(png, idat) / 2;
    const std::string path =
        Write("cut.png", Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(cut)));
    ExpectErrorNaming(path, [&] { tolvar::DecodePngFile(path); });
}

// libjpeg would otherwise pad a cut file with grey and report success.
TEST_F(PictureFileTest, TruncatedJpegIsAnErrorRatherThanGreyPadding) {
    const Bytes jpeg = EncodeJpeg(NoisyRgbJpeg());
    const std::string path =
        Write("cut.jpg",
              Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2)));
    ExpectErrorNaming(path, [&] { tolvar::DecodeJpegFile(path); });
}

// ---- Conversion to 24-bit DIB rows

TEST(Bgr24Test, StrideRoundsEachRowUpToFourBytes) {
    EXPECT_EQ(tolvar::Bgr24Stride(0), 0);
    EXPECT_EQ(tolvar::Bgr24Stride(1), 4);
    EXPECT_EQ(tolvar::Bgr24Stride(2), 8);
    EXPECT_EQ(tolvar::Bgr24Stride(3), 12);
    EXPECT_EQ(tolvar::Bgr24Stride(4), 12);
    EXPECT_EQ(tolvar::Bgr24Stride(5), 16);
}

TEST(Bgr24Test, RowsAreTopDownBgrWithZeroPaddingForEveryWidth) {
    for (int width = 1; width <= 5; ++width) {
        Picture picture{width, 2, {}};
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto base = static_cast<std::uint8_t>(10 * x + y);
                picture.rgba.insert(picture.rgba.end(),
                                    {base, static_cast<std::uint8_t>(base + 100),
                                     static_cast<std::uint8_t>(base + 200), 255});
            }
        }
        const Bytes rows = tolvar::ToBgr24Rows(picture, {1, 2, 3});
        const int stride = tolvar::Bgr24Stride(width);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(stride * 2)) << "width " << width;
        for (int y = 0; y < 2; ++y) {
            const std::uint8_t* row = rows.data() + y * stride;
            for (int x = 0; x < width; ++x) {
                const int base = 10 * x + y;
                EXPECT_EQ(row[3 * x], base + 200) << "blue, width " << width << " x " << x;
                EXPECT_EQ(row[3 * x + 1], base + 100) << "green, width " << width << " x " << x;
                EXPECT_EQ(row[3 * x + 2], base) << "red, width " << width << " x " << x;
            }
            for (int pad = 3 * width; pad < stride; ++pad) {
                EXPECT_EQ(row[pad], 0) << "padding, width " << width << " y " << y;
            }
        }
    }
}

TEST(Bgr24Test, AlphaBlendsOntoTheBackgroundWithRounding) {
    const Picture picture{3, 1, {10, 200, 30, 255, 10, 200, 30, 0, 10, 200, 30, 200}};
    const Bytes rows = tolvar::ToBgr24Rows(picture, {0, 100, 250});
    // The last pixel's red is 7.84 exactly: it must round to 8, not truncate to 7.
    EXPECT_EQ(rows, (Bytes{30, 200, 10, 250, 100, 0, 77, 178, 8, 0, 0, 0}));
}

TEST(Bgr24Test, EmptyPictureGivesNoRowsAndAMismatchedBufferIsRefused) {
    EXPECT_TRUE(tolvar::ToBgr24Rows(Picture{}, {}).empty());
    const Picture shortBuffer{2, 2, Bytes(4 * 3)};
    EXPECT_THROW(tolvar::ToBgr24Rows(shortBuffer, {}), std::invalid_argument);
}

}  // namespace
