// The standard controls: their notifications reach them through any
// parent (form, group box, radio group), only the user's actions report
// changes, and they take their form's font.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/check_box_win.h"
#include "framework/edit_win.h"
#include "framework/form_win.h"
#include "framework/group_box_win.h"
#include "framework/radio_group_win.h"
#include "framework/spin_edit_win.h"
#include "test_support.h"

namespace tolvar {
namespace {

HWND Child(HWND parent, const char* className, const char* text = nullptr) {
    return FindWindowExA(parent, nullptr, className, text);
}

bool Checked(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A press and release on one arrow of an up-down control.
void ClickArrow(HWND arrows, bool up) {
    RECT r;
    GetClientRect(arrows, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
    SendMessageA(arrows, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(arrows, WM_LBUTTONUP, 0, at);
}

class Controls : public testing::Test {
protected:
    Controls() : form("controls", 300, 240) { form.show(); }
    Form form;
};

TEST_F(Controls, EditReportsTypingAndReturnsLongTextsWhole) {
    GroupBox& group = form.add<GroupBox>(4, 4, 200, 60, "group");
    Edit& edit = group.add<Edit>(8, 20, 180, 21);
    int changes = 0;
    edit.onChange = [&] { ++changes; };
    SendMessageA(edit.handle(), WM_CHAR, 'x', 0);
    EXPECT_EQ(changes, 1);  // the notification went to the group and came back
    EXPECT_EQ(edit.text(), "x");

    const std::string text(300, 'w');
    edit.setText(text);
    EXPECT_EQ(edit.text(), text);
    edit.setText("");
    EXPECT_EQ(edit.text(), "");
}

TEST_F(Controls, CheckBoxTicksOnClickAndOnlyClicksReportIt) {
    GroupBox& group = form.add<GroupBox>(4, 4, 200, 60, "group");
    CheckBox& box = group.add<CheckBox>(8, 20, 180, 17, "tick");
    int clicks = 0;
    bool checkedInHandler = false;
    box.onClick = [&] {
        ++clicks;
        checkedInHandler = box.checked();
    };
    box.setChecked(true);
    EXPECT_TRUE(box.checked());
    EXPECT_EQ(clicks, 0);
    SendMessageA(box.handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(checkedInHandler);  // the handler sees the new state
    EXPECT_FALSE(box.checked());
}

TEST_F(Controls, RadioGroupSelectsOneItemOrNone) {
    RadioGroup& group =
        form.add<RadioGroup>(4, 4, 200, 100, "pick", std::vector<std::string>{"a", "b", "c"});
    int changes = 0;
    group.onChange = [&] { ++changes; };
    const HWND a = Child(group.handle(), "Button", "a");
    const HWND c = Child(group.handle(), "Button", "c");
    ASSERT_TRUE(a && c);

    group.setItemIndex(0);
    EXPECT_TRUE(Checked(a));
    EXPECT_EQ(changes, 0);

    SendMessageA(c, BM_CLICK, 0, 0);
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_TRUE(Checked(c));
    EXPECT_FALSE(Checked(a));
    EXPECT_EQ(changes, 1);
    SendMessageA(c, BM_CLICK, 0, 0);  // the selected one again: no change
    EXPECT_EQ(changes, 1);

    // A value from a damaged record must not pass for a choice.
    group.setItemIndex(7);
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_FALSE(Checked(a) || Checked(c));
    group.setItemIndex(-1);
    EXPECT_EQ(group.itemIndex(), -1);

    // The items fill the group one below the other, inside it.
    for (int i = 0; i < group.count(); ++i) {
        const Bounds& item = group.itemBounds(i);
        EXPECT_GE(item.top, 0);
        EXPECT_LE(item.bottom(), group.bounds().height);
        if (i > 0) {
            EXPECT_GE(item.top, group.itemBounds(i - 1).bottom());
        }
    }

    group.setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(a));
    group.setEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(a));
}

TEST_F(Controls, SpinArrowsStepByOneAndStopAtTheBounds) {
    SpinEdit& spin = form.add<SpinEdit>(4, 4, 60, 21, 0, 3);
    const HWND arrows = Child(spin.handle(), UPDOWN_CLASSA);
    ASSERT_TRUE(arrows);
    int changes = 0;
    spin.onChange = [&] { ++changes; };

    spin.setValue(1);
    ClickArrow(arrows, true);
    EXPECT_EQ(spin.value(), 2);
    EXPECT_GT(changes, 0);
    for (int i = 0; i < 4; ++i)
        ClickArrow(arrows, true);
    EXPECT_EQ(spin.value(), 3);
    EXPECT_EQ(spin.text(), "3");
    for (int i = 0; i < 5; ++i)
        ClickArrow(arrows, false);
    EXPECT_EQ(spin.value(), 0);

    // Stepping from text that is not a number starts from what it counts as.
    spin.setText("x");
    ClickArrow(arrows, true);
    EXPECT_EQ(spin.text(), "1");

    spin.setValue(99);
    EXPECT_EQ(spin.text(), "3");
}

TEST_F(Controls, SpinTextIsSetToItsValueWhenTheFocusLeaves) {
    SpinEdit& spin = form.add<SpinEdit>(4, 4, 60, 21, 0, 100);
    Edit& other = form.add<Edit>(4, 40, 60, 21);
    const HWND field = Child(spin.handle(), "Edit");
    ASSERT_TRUE(field);
    SetForegroundWindow(form.handle());

    for (auto [typed, shown] :
         {std::pair{"250", "100"}, {"-5", "0"}, {"abc", "0"}, {" 42", "42"}}) {
        SetFocus(field);
        ASSERT_EQ(GetFocus(), field);
        spin.setText(typed);
        EXPECT_EQ(spin.text(), typed);  // left alone while typed
        SetFocus(other.handle());
        EXPECT_EQ(spin.text(), shown) << typed;
    }
}

TEST_F(Controls, DisablingASpinFieldDisablesItsEditAndArrows) {
    SpinEdit& spin = form.add<SpinEdit>(4, 4, 60, 21, 0, 100);
    spin.setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(Child(spin.handle(), "Edit")));
    EXPECT_FALSE(IsWindowEnabled(Child(spin.handle(), UPDOWN_CLASSA)));
    spin.setEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(Child(spin.handle(), "Edit")));
    EXPECT_TRUE(IsWindowEnabled(Child(spin.handle(), UPDOWN_CLASSA)));
}

TEST_F(Controls, TheFormsFontReachesControlsMadeBeforeAndAfterItWasSet) {
    GroupBox& group = form.add<GroupBox>(4, 4, 200, 100, "group");
    SpinEdit& spin = group.add<SpinEdit>(8, 20, 60, 21, 0, 100);
    const HWND before = Child(spin.handle(), "Edit");
    form.setFont(FontSpec{"Tahoma", 11});
    ASSERT_NE(form.font(), nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(before, WM_GETFONT, 0, 0)), form.font());
    CheckBox& after = group.add<CheckBox>(8, 50, 100, 17, "after");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(after.handle(), WM_GETFONT, 0, 0)), form.font());
}

}  // namespace
}  // namespace tolvar
