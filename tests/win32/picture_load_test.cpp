// Decoded pictures become 24-bit bitmaps with the picture's own size.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/app_error.h"
#include "framework/bitmap_win.h"
#include "support/picture_encoders.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

class PictureFiles : public testing::Test {
protected:
    PictureFiles() : dir_(fs::temp_directory_path() / "tolvar-picture-load") {
        fs::create_directories(dir_);
    }
    ~PictureFiles() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const test::Bytes& bytes) {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

private:
    fs::path dir_;
};

TEST_F(PictureFiles, PngBecomesABitmapOfItsSizeWithTransparencyOnTheBackground) {
    test::PngImage png;
    png.width = 3;
    png.height = 2;
    png.colorType = PNG_COLOR_TYPE_RGBA;
    png.rows = {{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255},
                {10, 20, 30, 255, 0, 0, 0, 0, 200, 200, 200, 255}};
    std::string path = write("img1.png", test::EncodePng(png));

    Bitmap bitmap(50, 50);
    LoadPngAsBitmap(path, bitmap, Rgb{1, 2, 3});
    ASSERT_EQ(bitmap.width(), 3);
    ASSERT_EQ(bitmap.height(), 2);
    EXPECT_EQ(bitmap.pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(bitmap.pixel(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(bitmap.pixel(2, 0), RGB(0, 0, 255));
    EXPECT_EQ(bitmap.pixel(0, 1), RGB(10, 20, 30));
    EXPECT_EQ(bitmap.pixel(1, 1), RGB(1, 2, 3));  // fully transparent
    EXPECT_EQ(bitmap.pixel(2, 1), RGB(200, 200, 200));
}

TEST_F(PictureFiles, JpegBecomesABitmapOfItsSize) {
    std::string path =
        write("logo.jpg", test::EncodeJpeg(test::UniformJpeg(7, 3, {128}, JCS_GRAYSCALE)));
    Bitmap bitmap = LoadJpegAsBitmap(path);
    ASSERT_EQ(bitmap.width(), 7);
    ASSERT_EQ(bitmap.height(), 3);
    EXPECT_EQ(bitmap.pixel(6, 2), RGB(128, 128, 128));
}

TEST_F(PictureFiles, MissingOrCorruptFileIsAnErrorNamingTheFile) {
    std::string corrupt = write("img7.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    try {
        LoadPngAsBitmap(corrupt);
        FAIL() << "a corrupt PNG was accepted";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find("img7.png"), std::string::npos) << e.what();
    }
    try {
        LoadJpegAsBitmap("C:\\no\\such\\folder\\back.jpg");
        FAIL() << "a missing JPEG was accepted";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find("back.jpg"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tolvar
