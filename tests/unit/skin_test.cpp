// The skin's rules: faces cut from strips, the face the flags choose, what a
// hover move repaints, and the progress bar's four copies.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ui/skin_geometry.h"
#include "ui/skin_slots.h"

namespace tolvar {
namespace {

TEST(StripCutting, ThreeStackedFacesAndUnusedBottomRows) {
    EXPECT_EQ(StripPicture(162, 90, 0), (Box{0, 0, 162, 30}));
    EXPECT_EQ(StripPicture(162, 90, 1), (Box{0, 30, 162, 60}));
    EXPECT_EQ(StripPicture(162, 90, 2), (Box{0, 60, 162, 90}));
    // 92 rows: the faces stay 30 high and the last 2 rows are never used.
    EXPECT_EQ(StripPicture(162, 92, 0), (Box{0, 0, 162, 30}));
    EXPECT_EQ(StripPicture(162, 92, 2), (Box{0, 60, 162, 90}));
}

TEST(FaceChoice, SelectedOrPressedWinsOverHovered) {
    EXPECT_EQ(ChooseFace({false, false, false}), Face::Normal);
    EXPECT_EQ(ChooseFace({false, false, true}), Face::Hover);
    EXPECT_EQ(ChooseFace({false, true, false}), Face::Pressed);
    EXPECT_EQ(ChooseFace({false, true, true}), Face::Pressed);
    EXPECT_EQ(ChooseFace({true, false, false}), Face::Pressed);
    EXPECT_EQ(ChooseFace({true, false, true}), Face::Pressed);
    EXPECT_EQ(ChooseFace({true, true, true}), Face::Pressed);
}

struct RecordedSlots : testing::Test {
    std::vector<std::pair<int, Face>> shown;
    SlotTable slots{[this](int n, Face f) { shown.emplace_back(n, f); }};
};

TEST_F(RecordedSlots, HoverMovesRepaintOnlyTheSlotsThatChange) {
    slots.HoverSlot(11);
    slots.HoverSlot(12);
    EXPECT_EQ(shown, (std::vector<std::pair<int, Face>>{
                         {11, Face::Hover}, {11, Face::Normal}, {12, Face::Hover}}));
    shown.clear();
    slots.HoverSlot(12);  // moving on within the same button
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(slots.HoveredSlot(), 12);
}

TEST_F(RecordedSlots, LeavingForABackgroundRestoresTheFaceButKeepsASelection) {
    slots.Select(1, true);
    slots.HoverSlot(1);
    slots.HoverSlot(11);
    shown.clear();
    slots.HoverSlot(SlotTable::None);
    EXPECT_EQ(shown, (std::vector<std::pair<int, Face>>{{11, Face::Normal}}));
    EXPECT_EQ(slots.HoveredSlot(), SlotTable::None);
    EXPECT_EQ(ChooseFace(slots.flags(1)), Face::Pressed);  // still selected
}

TEST_F(RecordedSlots, PressThenReleaseShowsPressedThenHover) {
    slots.HoverSlot(15);
    shown.clear();
    slots.PressSlot(15);
    slots.ReleaseSlot(15);
    EXPECT_EQ(shown, (std::vector<std::pair<int, Face>>{{15, Face::Pressed}, {15, Face::Hover}}));
    EXPECT_TRUE(slots.flags(15).Hovered);  // press and release leave the hover alone
}

TEST_F(RecordedSlots, NumbersOutsideTheTableChangeAndPaintNothing) {
    slots.HoverSlot(3);
    shown.clear();
    for (int n : {0, SlotTable::SlotCount + 1, -5, 1000}) {
        slots.PaintSlot(n);
        slots.HoverSlot(n);
        slots.PressSlot(n);
        slots.ReleaseSlot(n);
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(slots.HoveredSlot(), 3);
    EXPECT_THROW(slots.flags(0), std::out_of_range);
}

TEST_F(RecordedSlots, NothingIsRepaintedOnceThePaintingIsSuppressed) {
    slots.SuppressPainting();
    slots.HoverSlot(5);
    slots.PressSlot(5);
    slots.Select(1, true);
    slots.PaintSlot(2);
    EXPECT_TRUE(shown.empty());
    // The flags still follow the mouse; only the painting stops.
    EXPECT_TRUE(slots.flags(5).Pressed);
    EXPECT_TRUE(slots.PaintingSuppressed());
}

TEST(ProgressBar, FillLengthRoundsHalvesToEven) {
    EXPECT_EQ(ProgressFillLength(525, 0), 0);
    EXPECT_EQ(ProgressFillLength(525, 100), 525);
    EXPECT_EQ(ProgressFillLength(525, 50), 262);  // 262.5 goes to the even 262
    EXPECT_EQ(ProgressFillLength(527, 50), 264);  // 263.5 goes to the even 264
    EXPECT_EQ(ProgressFillLength(525, 1), 5);     // 5.25
    EXPECT_EQ(ProgressFillLength(525, 3), 16);    // 15.75
}

struct Bar537 : testing::Test {
    // Caps 6 wide, track 6 wide, fill 537 wide; all 13 high.
    ProgressBarCopies at(int value) {
        return LayOutProgressBar(537, {6, 13}, {6, 13}, {6, 13}, {537, 13}, value);
    }
};

TEST_F(Bar537, ZeroShowsCapsAndTrackAcrossTheWholeWidth) {
    ProgressBarCopies c = at(0);
    EXPECT_EQ(c.leftCap.target, (Box{0, 0, 6, 13}));
    EXPECT_EQ(c.fill.target.width(), 0);
    EXPECT_EQ(c.track.target, (Box{6, 0, 531, 13}));
    EXPECT_EQ(c.track.source, (Box{0, 0, 6, 13}));
    EXPECT_EQ(c.rightCap.target, (Box{531, 0, 537, 13}));
}

TEST_F(Bar537, HalfSqueezesTheFillOverHalfTheInside) {
    ProgressBarCopies c = at(50);  // inside 525: 262.5 -> 262
    EXPECT_EQ(c.fill.source, (Box{0, 0, 268, 13}));
    EXPECT_EQ(c.fill.target, (Box{6, 0, 268, 13}));
    EXPECT_EQ(c.track.target, (Box{268, 0, 531, 13}));
}

TEST_F(Bar537, HundredFillsToTheRightCapAndLeavesNoTrack) {
    ProgressBarCopies c = at(100);
    EXPECT_EQ(c.fill.target, (Box{6, 0, 531, 13}));
    EXPECT_EQ(c.track.target.width(), 0);
    EXPECT_EQ(c.rightCap.target, (Box{531, 0, 537, 13}));
}

TEST_F(Bar537, ValuesOutsideTheRangeAreClampedSoRectanglesStayOrdered) {
    EXPECT_EQ(at(-20).fill.target, at(0).fill.target);
    EXPECT_EQ(at(250).fill.target, at(100).fill.target);
    EXPECT_GE(at(250).track.target.width(), 0);
}

}  // namespace
}  // namespace tolvar
