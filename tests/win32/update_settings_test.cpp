// The update settings window: it shows the stored settings each time it
// opens, its enabled states follow the choices, "Save Settings" stores every
// field (cut and brought into range) and the private mirror and nothing
// else, "Cancel" stores nothing, and a failed save never looks like a saved
// one.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "core/app_error.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "test_support.h"
#include "ui/update_settings_window_win.h"

namespace tolvar {
namespace {

SettingsRecord StoredRecord() {
    SettingsRecord record;
    RegistryKey("sysdata").ReadBinary(record.MutableBytes().data(), SettingsRecord::kSize);
    return record;
}

HWND Child(HWND parent, const char* className, const char* text = nullptr) {
    return FindWindowExA(parent, nullptr, className, text);
}

void Press(HWND button) {
    ASSERT_TRUE(button);
    SendMessageA(button, BM_CLICK, 0, 0);
}

void Choose(RadioGroup& group, const char* item) {
    Press(Child(group.handle(), "Button", item));
}

// Every control lies inside its parent's client area.
void ExpectInside(const WindowedControl& parent) {
    RECT client;
    GetClientRect(parent.handle(), &client);
    for (const auto& child : parent.children()) {
        const Bounds& b = child->bounds();
        EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right() <= client.right &&
                    b.bottom() <= client.bottom)
            << "a control at " << b.left << "," << b.top << " size " << b.width << "x" << b.height
            << " leaves its parent of " << client.right << "x" << client.bottom;
        if (child->isWindowed()) ExpectInside(static_cast<const WindowedControl&>(*child));
    }
}

class UpdateSettings : public testing::Test {
protected:
    UpdateSettings()
        : inMemory_(Settings()),
          stored_(StoredRecord()),
          storedMirror_(RegistryKey("mirror").ReadText()) {
        // The fields this window does not own, which a save must keep.
        Settings() = SettingsRecord{};
        Settings().SetStoredVaultCount(5);
        Settings().SetTotalUpdates(3);
        Settings().SetLastUpdateDate(46000.5);
        Settings().SetLastUpdateSize(1234);
    }
    ~UpdateSettings() override {
        Settings() = inMemory_;
        RegistryKey("sysdata").WriteBinary(stored_.Bytes().data(), SettingsRecord::kSize);
        RegistryKey("mirror").WriteText(storedMirror_);
    }

    void expectOtherFieldsKept() const {
        EXPECT_EQ(Settings().StoredVaultCount(), 5);
        EXPECT_EQ(Settings().TotalUpdates(), 3);
        EXPECT_EQ(Settings().LastUpdateDate(), 46000.5);
        EXPECT_EQ(Settings().LastUpdateSize(), 1234);
    }

    bool spinEnabled() const { return IsWindowEnabled(Child(form.SpinEdit1.handle(), "Edit")); }
    int proxyEditsEnabled() const {
        int n = 0;
        for (const Edit* edit : {&form.Edit1, &form.Edit2, &form.Edit3, &form.Edit4})
            n += IsWindowEnabled(edit->handle()) ? 1 : 0;
        return n;
    }

    TForm12 form;

private:
    SettingsRecord inMemory_;
    SettingsRecord stored_;
    std::string storedMirror_;
};

TEST_F(UpdateSettings, OpensAsAFixedDialogOnTopInTheCentreWithEveryControlInside) {
    form.ShowSettings();
    ASSERT_TRUE(IsWindowVisible(form.handle()));
    RECT window;
    GetWindowRect(form.handle(), &window);
    EXPECT_EQ(window.right - window.left, 533);
    EXPECT_EQ(window.bottom - window.top, 356);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - 533) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - 356) / 2);
    EXPECT_TRUE(GetWindowLongPtrA(form.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongPtrA(form.handle(), GWL_STYLE) & WS_CAPTION);
    ExpectInside(form);
}

TEST_F(UpdateSettings, ShowingLoadsEveryControlFromTheRecord) {
    SettingsRecord& s = Settings();
    s.SetCheckSchedule(UpdateSchedule::Weekly);
    s.SetFoundAction(FoundUpdateAction::DownloadAutomatically);
    s.SetIntervalDays(42);
    s.SetUseProxy(true);
    s.SetProxyUser("bob");
    s.SetProxyPassword("pass word");
    s.SetProxyServer("proxy.example");
    s.SetProxyPort("8080");
    form.ShowSettings();

    EXPECT_EQ(form.RadioGroup1.itemIndex(), 1);
    EXPECT_EQ(form.RadioGroup2.itemIndex(), 1);
    EXPECT_EQ(form.SpinEdit1.text(), "42");
    EXPECT_TRUE(form.CheckBox1.checked());
    EXPECT_EQ(form.Edit3.text(), "bob");
    EXPECT_EQ(form.Edit4.text(), "pass word");
    EXPECT_EQ(form.Edit1.text(), "proxy.example");
    EXPECT_EQ(form.Edit2.text(), "8080");
    EXPECT_EQ(GetWindowLongPtrA(form.Edit4.handle(), GWL_STYLE) & ES_PASSWORD, 0);
    EXPECT_FALSE(spinEnabled());
    EXPECT_EQ(proxyEditsEnabled(), 4);
}

TEST_F(UpdateSettings, EnabledStatesFollowTheScheduleAndTheTick) {
    Settings().SetCheckSchedule(UpdateSchedule::IntervalsOf);
    Settings().SetUseProxy(false);
    form.ShowSettings();
    EXPECT_TRUE(spinEnabled());
    EXPECT_EQ(proxyEditsEnabled(), 0);

    Choose(form.RadioGroup1, "Weekly");
    EXPECT_FALSE(spinEnabled());
    Choose(form.RadioGroup1, "Intervals of:");
    EXPECT_TRUE(spinEnabled());
    Choose(form.RadioGroup1, "Never Check");
    EXPECT_FALSE(spinEnabled());

    Press(form.CheckBox1.handle());
    EXPECT_EQ(proxyEditsEnabled(), 4);
    Press(form.CheckBox1.handle());
    EXPECT_EQ(proxyEditsEnabled(), 0);
}

TEST_F(UpdateSettings, SaveStoresEveryFieldCutToItsSizeAndCloses) {
    form.ShowSettings();
    Choose(form.RadioGroup1, "Monthly");
    Choose(form.RadioGroup2, "Automatically download");
    form.SpinEdit1.setText("7");
    Press(form.CheckBox1.handle());
    form.Edit3.setText("alice");
    form.Edit4.setText("se cret");
    std::string server;
    for (int i = 0; i < 300; ++i)
        server += static_cast<char>('a' + i % 26);
    form.Edit1.setText(server);
    form.Edit2.setText("123456789012");
    Press(form.Button1.handle());

    const SettingsRecord& s = Settings();
    EXPECT_EQ(s.CheckSchedule(), UpdateSchedule::Monthly);
    EXPECT_EQ(s.FoundAction(), FoundUpdateAction::DownloadAutomatically);
    EXPECT_EQ(s.IntervalDays(), 7);
    EXPECT_TRUE(s.UseProxy());
    EXPECT_EQ(s.ProxyUser(), "alice");
    EXPECT_EQ(s.ProxyPassword(), "se cret");
    EXPECT_EQ(s.ProxyServer(), server.substr(0, 255));
    EXPECT_EQ(s.ProxyPort(), "1234567890");
    expectOtherFieldsKept();
    EXPECT_EQ(StoredRecord().Bytes(), s.Bytes());
    EXPECT_FALSE(IsWindowVisible(form.handle()));
}

TEST_F(UpdateSettings, ThePrivateMirrorIsShownAndStoredInItsRegistryValue) {
    RegistryKey("mirror").WriteText("127.0.0.1:8765");
    form.ShowSettings();
    EXPECT_EQ(form.Edit5.text(), "127.0.0.1:8765");
    // Enabled whatever the proxy: it is no proxy setting.
    EXPECT_TRUE(IsWindowEnabled(form.Edit5.handle()));

    form.Edit5.setText("  http://mirror.example/clamav ");
    Press(form.Button1.handle());
    EXPECT_EQ(RegistryKey("mirror").ReadText(), "http://mirror.example/clamav");

    // Emptied: ClamAV's own mirror again.
    form.ShowSettings();
    form.Edit5.setText("");
    Press(form.Button1.handle());
    EXPECT_EQ(RegistryKey("mirror").ReadText(), "");

    // Cancel stores nothing.
    form.ShowSettings();
    form.Edit5.setText("other.example");
    Press(form.Button2.handle());
    EXPECT_EQ(RegistryKey("mirror").ReadText(), "");
}

TEST_F(UpdateSettings, TheDaysAreBroughtIntoRangeWhenSavedWithoutLeavingTheField) {
    Settings().SetCheckSchedule(UpdateSchedule::IntervalsOf);
    for (auto [typed, days] : {std::pair{"abc", 0}, {"250", 100}, {"-5", 0}, {"63", 63}}) {
        form.ShowSettings();
        form.SpinEdit1.setText(typed);
        Press(form.Button1.handle());
        EXPECT_EQ(Settings().IntervalDays(), days) << typed;
        EXPECT_EQ(StoredRecord().IntervalDays(), days) << typed;
    }
}

TEST_F(UpdateSettings, CancelStoresNothingAndTheNextShowReloads) {
    Settings().SetProxyServer("proxy.example");
    SaveSettings();
    const SettingsRecord before = Settings();
    form.ShowSettings();
    Choose(form.RadioGroup1, "Never Check");
    form.Edit1.setText("typed");
    form.ShowSettings();  // open already: what was entered stays
    EXPECT_EQ(form.Edit1.text(), "typed");

    Press(form.Button2.handle());
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_EQ(Settings().Bytes(), before.Bytes());
    EXPECT_EQ(StoredRecord().Bytes(), before.Bytes());

    form.ShowSettings();
    EXPECT_EQ(form.RadioGroup1.itemIndex(), 0);
    EXPECT_EQ(form.Edit1.text(), "proxy.example");

    // The title bar's close button cancels too.
    form.Edit1.setText("typed again");
    SendMessageA(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_EQ(Settings().Bytes(), before.Bytes());
}

TEST_F(UpdateSettings, AFailedSaveIsReportedKeepsTheWindowOpenAndStoresNothing) {
    test::RecordedErrors errors;
    TForm12 failing([] { throw AppError("Failed to set data for 'sysdata'"); });
    const SettingsRecord before = Settings();
    failing.ShowSettings();
    Choose(failing.RadioGroup1, "Weekly");
    failing.Edit1.setText("new.example");
    RegistryKey("mirror").WriteText("kept.example");
    failing.Edit5.setText("new-mirror.example");
    Press(failing.Button1.handle());

    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "Failed to set data for 'sysdata'");
    EXPECT_TRUE(IsWindowVisible(failing.handle()));
    // Nothing in memory claims a save that did not happen.
    EXPECT_EQ(Settings().Bytes(), before.Bytes());
    EXPECT_EQ(RegistryKey("mirror").ReadText(), "kept.example");
    EXPECT_EQ(failing.Edit1.text(), "new.example");
    EXPECT_EQ(failing.RadioGroup1.itemIndex(), 1);
}

TEST_F(UpdateSettings, ADamagedRecordShowsNoChoiceAndKeepsItsBytesOnSave) {
    Settings().SetCheckSchedule(static_cast<UpdateSchedule>(9));
    Settings().SetFoundAction(static_cast<FoundUpdateAction>(7));
    Settings().SetIntervalDays(200);
    form.ShowSettings();
    EXPECT_EQ(form.RadioGroup1.itemIndex(), -1);
    EXPECT_EQ(form.RadioGroup2.itemIndex(), -1);
    EXPECT_FALSE(spinEnabled());
    EXPECT_EQ(form.SpinEdit1.text(), "100");

    Press(form.Button1.handle());
    // Not -1 stored as 255.
    EXPECT_EQ(static_cast<int>(Settings().CheckSchedule()), 9);
    EXPECT_EQ(static_cast<int>(Settings().FoundAction()), 7);
    EXPECT_EQ(Settings().IntervalDays(), 100);
}

}  // namespace
}  // namespace tolvar
