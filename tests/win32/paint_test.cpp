// A window paints its graphic children into one off-screen bitmap: the
// picture, then labels drawn transparently over it.

#include <gtest/gtest.h>

#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/label_win.h"
#include "framework/panel_win.h"

namespace tolvar {
namespace {

constexpr COLORREF kFormColour = RGB(10, 20, 30);
constexpr COLORREF kPictureColour = RGB(200, 40, 40);
constexpr COLORREF kTextColour = RGB(255, 255, 255);

Bitmap SolidPicture(int w, int h, COLORREF colour) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, colour);
    return b;
}

int CountPixels(const Bitmap& b, int x0, int y0, int x1, int y1, COLORREF colour) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += b.pixel(x, y) == colour ? 1 : 0;
    return n;
}

struct PaintedForm : testing::Test {
    PaintedForm()
        : form("paint", 200, 100),
          picture(form.add<Image>(20, 10, 120, 60)),
          label(form.add<Label>(30, 20, 100, 30, "WWWW")) {
        form.setColor(kFormColour);
        picture.setPicture(SolidPicture(120, 60, kPictureColour));
        label.setFont(FontSpec{"Tahoma", 20, true});
        label.setTextColor(kTextColour);
    }
    Form form;
    Image& picture;
    Label& label;
};

TEST_F(PaintedForm, BackgroundPictureAndTransparentLabelComposeInOneBitmap) {
    Bitmap shot = form.renderOffscreen();
    ASSERT_EQ(shot.width(), 200);
    ASSERT_EQ(shot.height(), 100);
    EXPECT_EQ(shot.pixel(5, 5), kFormColour);       // outside the picture
    EXPECT_EQ(shot.pixel(21, 11), kPictureColour);  // picture, outside the label
    EXPECT_EQ(shot.pixel(139, 69), kPictureColour);
    EXPECT_EQ(shot.pixel(140, 70), kFormColour);  // just past the picture

    // The label's text is drawn, and between the letters the picture shows
    // through: a label that filled its box would hide it.
    const int text = CountPixels(shot, 30, 20, 130, 50, kTextColour);
    const int through = CountPixels(shot, 30, 20, 130, 50, kPictureColour);
    EXPECT_GT(text, 40);
    EXPECT_GT(through, 1000);
    // Nothing of the label escapes its box.
    EXPECT_EQ(CountPixels(shot, 0, 0, 200, 20, kTextColour), 0);
}

// Guards against a window that waits hidden all day holding its decoded
// pictures, and against one that comes back blank after they were let go:
// a picture with a source is let go and painted again from it; one set
// once (drawn onto in place) is kept.
TEST_F(PaintedForm, APictureWithASourceIsLetGoAndPaintedAgainFromIt) {
    int decoded = 0;
    Panel& panel = form.add<Panel>(150, 10, 40, 40);
    Image& sourced = panel.add<Image>(0, 0, 40, 40);
    sourced.setPictureSource([&decoded] {
        ++decoded;
        return SolidPicture(40, 40, kPictureColour);
    });
    EXPECT_EQ(decoded, 1);

    ReleaseResourcePictures(form);
    EXPECT_FALSE(picture.picture().empty());  // no source: kept
    EXPECT_EQ(decoded, 1);
    EXPECT_EQ(form.renderOffscreen().pixel(21, 11), kPictureColour);
    const Bitmap shot = panel.renderOffscreen();
    EXPECT_EQ(decoded, 2);
    EXPECT_EQ(CountPixels(shot, 0, 0, 40, 40, kPictureColour), 40 * 40);
}

TEST_F(PaintedForm, OpaqueLabelFillsItsBox) {
    label.setTransparent(false);
    label.setBackground(RGB(0, 0, 255));
    label.setCaption("");
    Bitmap shot = form.renderOffscreen();
    EXPECT_EQ(CountPixels(shot, 30, 20, 130, 50, RGB(0, 0, 255)), 100 * 30);
}

TEST_F(PaintedForm, HiddenControlsAreNotPaintedAndLaterOnesPaintOnTop) {
    label.hide();
    picture.hide();
    EXPECT_EQ(form.renderOffscreen().pixel(50, 30), kFormColour);

    picture.show();
    Image& over = form.add<Image>(100, 40, 10, 10);
    over.setPicture(SolidPicture(10, 10, RGB(0, 255, 0)));
    Bitmap shot = form.renderOffscreen();
    EXPECT_EQ(shot.pixel(105, 45), RGB(0, 255, 0));
    form.bringToFront(picture);
    EXPECT_EQ(form.renderOffscreen().pixel(105, 45), kPictureColour);
}

TEST_F(PaintedForm, PictureLargerThanItsControlIsClippedToIt) {
    picture.setPicture(SolidPicture(300, 300, kPictureColour));
    Bitmap shot = form.renderOffscreen();
    EXPECT_EQ(shot.pixel(139, 69), kPictureColour);
    EXPECT_EQ(shot.pixel(141, 71), kFormColour);
}

TEST_F(PaintedForm, ReparentedControlPaintsOnItsNewParentOnly) {
    Panel& panel = form.add<Panel>(150, 0, 50, 100);
    panel.setColor(RGB(1, 2, 3));
    Image& moving = form.add<Image>(0, 0, 10, 10);
    moving.setPicture(SolidPicture(10, 10, RGB(9, 9, 9)));
    EXPECT_EQ(form.renderOffscreen().pixel(5, 5), RGB(9, 9, 9));

    moving.setParent(panel);
    EXPECT_EQ(moving.parent(), &panel);
    EXPECT_EQ(form.renderOffscreen().pixel(5, 5), kFormColour);
    Bitmap inPanel = panel.renderOffscreen();
    EXPECT_EQ(inPanel.pixel(5, 5), RGB(9, 9, 9));
    EXPECT_EQ(inPanel.pixel(20, 20), RGB(1, 2, 3));
}

TEST(Bitmaps, CloneIsAnIndependentCopy) {
    Bitmap a = SolidPicture(3, 2, RGB(1, 2, 3));
    Bitmap b = a.clone();
    a.setPixel(0, 0, RGB(9, 9, 9));
    EXPECT_EQ(b.pixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    Bitmap moved = std::move(a);
    EXPECT_TRUE(a.empty());  // NOLINT: moved-from state is part of the contract
    EXPECT_EQ(moved.pixel(0, 0), RGB(9, 9, 9));
}

}  // namespace
}  // namespace tolvar
