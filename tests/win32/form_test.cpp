// Forms: modal display, timers, the error report, mouse routing, the
// rounded region, dragging's preconditions and the context menu.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "core/app_error.h"
#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/list_box_win.h"
#include "framework/popup_menu_win.h"
#include "framework/timer_win.h"
#include "test_support.h"

namespace tolvar {
namespace {

TEST(ModalForms, ReturnTheResultAControlSet) {
    Form dialog("ask", 120, 60);
    Timer answer(30);
    answer.onTimer = [&] { dialog.setModalResult(mrYes); };
    EXPECT_EQ(dialog.showModal(), mrYes);
    EXPECT_FALSE(dialog.visible());
    EXPECT_FALSE(IsWindowVisible(dialog.handle()));
}

TEST(ModalForms, ClosingOneReturnsCancelAndReenablesTheOthers) {
    Form owner("owner", 100, 50);
    owner.show();
    Form dialog("ask", 120, 60);
    bool ownerDisabledMeanwhile = false;
    Timer closer(30);
    closer.onTimer = [&] {
        ownerDisabledMeanwhile = !IsWindowEnabled(owner.handle());
        PostMessageA(dialog.handle(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(dialog.showModal(), mrCancel);
    EXPECT_TRUE(ownerDisabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(owner.handle()));
}

TEST(ModalForms, AVisibleFormCannotBeShownModally) {
    Form form("shown", 50, 50);
    form.show();
    EXPECT_THROW(form.showModal(), AppError);
}

TEST(Timers, FireRepeatedlyAndStopWhenDisabled) {
    int ticks = 0;
    Timer timer(20);
    timer.onTimer = [&] {
        if (++ticks == 3) timer.setEnabled(false);
    };
    ASSERT_TRUE(test::PumpUntil([&] { return ticks >= 3; }));
    test::PumpUntil([] { return false; }, 150);
    EXPECT_EQ(ticks, 3);
}

TEST(Timers, DisabledAtCreationNeverFires) {
    int ticks = 0;
    Timer timer(10, false);
    timer.onTimer = [&] { ++ticks; };
    test::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, 0);
}

TEST(ErrorReport, ErrorInATimerHandlerIsReportedAndTheLoopGoesOn) {
    test::RecordedErrors errors;
    int ticks = 0;
    Timer timer(20);
    timer.onTimer = [&] {
        if (++ticks == 1) throw AppError("Cannot open file C:\\x.gav");
    };
    ASSERT_TRUE(test::PumpUntil([&] { return ticks >= 3; }));
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "Cannot open file C:\\x.gav");
}

TEST(ErrorReport, ErrorInAClickHandlerIsReportedAndTheWindowStillWorks) {
    test::RecordedErrors errors;
    Form form("f", 100, 100);
    Image& button = form.add<Image>(10, 10, 20, 20);
    int clicks = 0;
    button.onClick = [&] {
        if (++clicks == 1) throw std::runtime_error("first click fails");
    };
    test::ClickAt(form.handle(), 15, 15);
    test::ClickAt(form.handle(), 15, 15);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "first click fails");
}

TEST(MouseRouting, GraphicChildGetsItsEventsInItsOwnCoordinates) {
    Form form("f", 100, 100);
    Image& back = form.add<Image>(0, 0, 100, 100);
    Image& front = form.add<Image>(40, 40, 20, 20);
    int backClicks = 0, frontClicks = 0, lastX = -1, lastY = -1;
    back.onClick = [&] { ++backClicks; };
    front.onClick = [&] { ++frontClicks; };
    front.onMouseMove = [&](int x, int y) {
        lastX = x;
        lastY = y;
    };
    test::ClickAt(form.handle(), 45, 47);
    EXPECT_EQ(frontClicks, 1);
    EXPECT_EQ(backClicks, 0);
    EXPECT_EQ(lastX, 5);
    EXPECT_EQ(lastY, 7);
    test::ClickAt(form.handle(), 5, 5);
    EXPECT_EQ(backClicks, 1);

    front.hide();  // hidden controls take no mouse
    test::ClickAt(form.handle(), 45, 47);
    EXPECT_EQ(frontClicks, 1);
    EXPECT_EQ(backClicks, 2);
}

TEST(MouseRouting, ReleaseAwayFromThePressedControlIsNoClick) {
    Form form("f", 100, 100);
    Image& button = form.add<Image>(10, 10, 20, 20);
    int clicks = 0, moves = 0;
    button.onClick = [&] { ++clicks; };
    button.onMouseMove = [&](int, int) { ++moves; };
    SendMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, test::Point(15, 15));
    // The pressed control keeps the mouse until the release.
    SendMessageA(form.handle(), WM_MOUSEMOVE, MK_LBUTTON, test::Point(80, 80));
    SendMessageA(form.handle(), WM_LBUTTONUP, 0, test::Point(80, 80));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(moves, 1);
}

TEST(Shape, BorderlessFormHasTheClientSizeAndRoundedCorners) {
    Form form("round", 792, 442);
    form.setRounded(true);
    RECT wr;
    GetWindowRect(form.handle(), &wr);
    EXPECT_EQ(wr.right - wr.left, 792);
    EXPECT_EQ(wr.bottom - wr.top, 442);

    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(form.handle(), region.get()), ERROR);
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.get(), 791, 0));
    EXPECT_FALSE(PtInRegion(region.get(), 0, 441));
    EXPECT_FALSE(PtInRegion(region.get(), 790, 440));
    EXPECT_TRUE(PtInRegion(region.get(), 8, 8));
    EXPECT_TRUE(PtInRegion(region.get(), 396, 0));
    EXPECT_TRUE(PtInRegion(region.get(), 0, 221));
    EXPECT_TRUE(PtInRegion(region.get(), 782, 432));
}

TEST(Shape, DialogBorderKeepsTheClientSizeAsked) {
    Form form("dialog", 301, 142, BorderStyle::Dialog);
    RECT client;
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 301);
    EXPECT_EQ(client.bottom, 142);
}

TEST(Shape, CentredOnTheScreen) {
    Form form("c", 200, 100);
    form.centreOnScreen();
    RECT wr;
    GetWindowRect(form.handle(), &wr);
    EXPECT_EQ(wr.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
    EXPECT_EQ(wr.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
}

TEST(Shape, StayOnTopSetsTheTopmostStyle) {
    Form form("t", 50, 50);
    form.setStayOnTop(true);
    EXPECT_TRUE(GetWindowLongPtrA(form.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(ContextMenu, RightClickRunsTheChosenItem) {
    Form form("menu", 100, 100);
    form.add<Image>(0, 0, 100, 100);
    PopupMenu menu;
    std::string chosen;
    menu.add("Start Scan", [&] { chosen = "scan"; });
    menu.addSeparator();
    menu.add("About", [&] { chosen = "about"; });
    menu.chooser = [](const std::vector<PopupMenu::Item>& items) {
        return items.size() == 3 ? 2 : -1;
    };
    form.contextMenu = &menu;
    form.show();
    SendMessageA(form.handle(), WM_RBUTTONDOWN, MK_RBUTTON, test::Point(50, 50));
    SendMessageA(form.handle(), WM_RBUTTONUP, 0, test::Point(50, 50));
    EXPECT_EQ(chosen, "about");
}

TEST(ListBoxes, OwnerDrawsEveryVisibleRowAndSelectionIsReported) {
    Form form("list", 200, 200);
    ListBox& list = form.add<ListBox>(0, 0, 200, 200, SelectionMode::Multiple, 20);
    std::vector<int> drawn;
    list.onDrawItem = [&](HDC, const ListRow& row) {
        drawn.push_back(row.index);
        EXPECT_EQ(row.rect.bottom - row.rect.top, 20);
    };
    for (const char* s : {"C:\\", "D:\\", "E:\\"})
        list.addItem(s);
    form.show();
    UpdateWindow(list.handle());
    test::PumpUntil([&] { return drawn.size() >= 3; }, 2000);
    EXPECT_GE(drawn.size(), 3u);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(1), "D:\\");

    list.setSelected(0, true);
    list.setSelected(2, true);
    EXPECT_EQ(list.selectedIndexes(), (std::vector<int>{0, 2}));
    list.deleteItem(0);
    EXPECT_EQ(list.item(0), "D:\\");
    EXPECT_EQ(list.selectedIndexes(), (std::vector<int>{1}));
}

TEST(ListBoxes, SingleSelectionItemIndex) {
    Form form("list", 100, 100);
    ListBox& list = form.add<ListBox>(0, 0, 100, 100);
    EXPECT_EQ(list.itemIndex(), -1);
    list.addItem("a");
    list.addItem("b");
    list.setItemIndex(1);
    EXPECT_EQ(list.itemIndex(), 1);
    EXPECT_TRUE(list.selected(1));
    list.setItemIndex(-1);
    EXPECT_EQ(list.itemIndex(), -1);
}

}  // namespace
}  // namespace tolvar

namespace tolvar {
namespace {

// The hint the form's tooltip holds for a window, or "" when it holds none.
std::string ToolText(Form& form, HWND window) {
    char text[256] = "";
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = window;
    tool.uId = 1;
    tool.lpszText = text;
    if (!SendMessageA(form.tooltip(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) {
        return "";
    }
    SendMessageA(form.tooltip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST(Hints, TheControlUnderTheMouseLendsTheTooltipItsHint) {
    Form form("hints", 200, 100);
    Image& scan = form.add<Image>(0, 0, 50, 50);
    Image& results = form.add<Image>(60, 0, 50, 50);
    form.add<Image>(120, 0, 50, 50);  // no hint
    scan.setHint("Scan");
    results.setHint("Results");

    SendMessageA(form.handle(), WM_MOUSEMOVE, 0, test::Point(10, 10));
    EXPECT_EQ(ToolText(form, form.handle()), "Scan");
    SendMessageA(form.handle(), WM_MOUSEMOVE, 0, test::Point(70, 10));
    EXPECT_EQ(ToolText(form, form.handle()), "Results");
    SendMessageA(form.handle(), WM_MOUSEMOVE, 0, test::Point(130, 10));
    EXPECT_EQ(ToolText(form, form.handle()), "");
}

}  // namespace
}  // namespace tolvar
