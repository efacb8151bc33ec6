// Hover faces under the real mouse: the moves, and the leaves, come from
// the system as they do for a user, never sent by the test.

#include <gtest/gtest.h>

#include <windows.h>

#include "core/folders.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/result_windows_win.h"

namespace tolvar {
namespace {

using test::SameBitmap;

// A corner of the screen that none of the windows under test covers.
constexpr POINT kOffEveryWindow{4, 4};

// Moves the real mouse onto the button, then off its window in one move,
// as a quick hand does: the hover face comes, then the normal face again.
void ExpectHoverEndsWhenTheMouseLeavesInOneMove(Skin& skin, int n, Image& button) {
    SCOPED_TRACE("slot " + std::to_string(n));
    test::MoveMouseTo(kOffEveryWindow);
    test::PumpUntil([&] { return skin.Slots().HoveredSlot() == SlotTable::None; }, 2000);

    test::MoveMouseTo(test::MiddleOnScreen(button));
    ASSERT_TRUE(test::PumpUntil([&] { return skin.Slots().HoveredSlot() == n; }))
        << "the system's mouse move never reached the button";
    EXPECT_TRUE(SameBitmap(button.picture(), skin.Faces(n).Face1));

    test::MoveMouseTo(kOffEveryWindow);
    EXPECT_TRUE(test::PumpUntil([&] { return skin.Slots().HoveredSlot() == SlotTable::None; }))
        << "the button stays hovered after the mouse left its window";
    EXPECT_FALSE(skin.Slots().flags(n).Hovered);
    EXPECT_TRUE(SameBitmap(button.picture(), skin.Faces(n).Face0));
}

// Guards against hover faces that stayed lit once the mouse left a window
// by a move too fast to cross any surface that clears them: nothing
// tracked the mouse's leave. A button on the main window itself, and one on
// a page (a window of its own inside it).
TEST(HoverFaces, LeavingTheMainWindowInOneMoveRestoresTheNormalFace) {
    ScanState = scan_state::kIdle;
    test::RecordingCommands commands;
    TForm1 form{commands};
    form.ShowStartPage();
    form.show();
    Skin& skin = form.skin();
    for (int n = 1; n <= SlotTable::SlotCount; ++n)
        skin.PaintSlot(n);
    ExpectHoverEndsWhenTheMouseLeavesInOneMove(skin, slot::kResultsPage, form.Image4);
    ExpectHoverEndsWhenTheMouseLeavesInOneMove(skin, slot::kScanDrives, form.Image12);
    form.hide();
}

// The same for a message window's button.
TEST(HoverFaces, LeavingAMessageWindowInOneMoveRestoresTheNormalFace) {
    Skin skin;
    skin.LoadSkin(ExecutableFolder());
    TForm17 message(skin);
    message.showCentred();
    skin.PaintSlot(slot::kNoInfectionsClose);
    ExpectHoverEndsWhenTheMouseLeavesInOneMove(skin, slot::kNoInfectionsClose, message.Image2);
    message.hide();
}

// A button pressed, dragged off its window and released there: no move
// over the button follows, and the release itself ends its hover.
TEST(HoverFaces, APressReleasedOffTheWindowLeavesTheNormalFace) {
    Skin skin;
    skin.LoadSkin(ExecutableFolder());
    TForm17 message(skin);
    message.Image2.onClick = [] {};  // the release is no click: nothing may close
    message.showCentred();
    skin.PaintSlot(slot::kNoInfectionsClose);
    test::MoveMouseTo(test::MiddleOnScreen(message.Image2));
    ASSERT_TRUE(
        test::PumpUntil([&] { return skin.Slots().HoveredSlot() == slot::kNoInfectionsClose; }));

    INPUT press{};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &press, sizeof press);
    ASSERT_TRUE(
        test::PumpUntil([&] { return skin.Slots().flags(slot::kNoInfectionsClose).Pressed; }));
    test::MoveMouseTo(kOffEveryWindow);
    test::PumpUntil([] { return false; }, 200);
    press.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &press, sizeof press);
    EXPECT_TRUE(test::PumpUntil([&] {
        return !skin.Slots().flags(slot::kNoInfectionsClose).Pressed &&
               skin.Slots().HoveredSlot() == SlotTable::None;
    }));
    EXPECT_TRUE(SameBitmap(message.Image2.picture(), skin.Faces(slot::kNoInfectionsClose).Face0));
    message.hide();
}

}  // namespace
}  // namespace tolvar
