#include "ui/update_settings_window_win.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/theme_win.h"
#include "updates/database_install.h"

namespace tolvar {

namespace {

// The window's outer size; the controls are laid out in what the frame
// leaves of it.
constexpr int kWindowWidth = 533;
constexpr int kWindowHeight = 356;
// The classic dialog font: 8 points at 96 dots per inch.
constexpr int kDialogFontHeight = 11;

// Between the window's edges, the groups and the buttons.
constexpr int kMargin = 8;
constexpr int kLeftWidth = 248;
constexpr int kRightLeft = kMargin + kLeftWidth + kMargin;
constexpr int kScheduleHeight = 190;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 25;
// Edits and the spin field.
constexpr int kFieldHeight = 21;
// A caption sits this far below the top of the field beside it, so the two
// texts share their base line.
constexpr int kCaptionDrop = 4;
constexpr int kCaptionHeight = 14;

// The spin field right of the "Intervals of:" text, "days" right of it.
constexpr int kIntervalsItem = static_cast<int>(UpdateSchedule::IntervalsOf);
constexpr int kSpinLeft = 100;
constexpr int kSpinWidth = 52;
constexpr int kDaysGap = 6;

// Inside the proxy group.
constexpr int kProxyInset = 12;
constexpr int kProxyCheckTop = 24;
constexpr int kProxyFirstRow = 62;
constexpr int kProxyRowStep = 40;
constexpr int kProxyFieldLeft = 92;
constexpr int kPortWidth = 72;

// The private mirror's row, left of the buttons.
constexpr int kMirrorCaptionWidth = 74;

constexpr int kIntervalDaysMin = 0;
constexpr int kIntervalDaysMax = 100;

FontSpec DialogFont() {
    return FontSpec{theme::kFontName, kDialogFontHeight};
}

SIZE ClientSize() {
    return Form::ClientSizeFor(kWindowWidth, kWindowHeight, BorderStyle::Dialog);
}

int ButtonsTop(const Form& form) {
    return form.clientHeight() - kMargin - kButtonHeight;
}

int GroupsBottom(const Form& form) {
    return ButtonsTop(form) - kMargin - kMargin / 2;
}

int ProxyWidth(const Form& form) {
    return form.clientWidth() - kRightLeft - kMargin;
}

int ProxyRowTop(int row) {
    return kProxyFirstRow + row * kProxyRowStep;
}

int SpinTop(const RadioGroup& group) {
    const Bounds& item = group.itemBounds(kIntervalsItem);
    return item.top + (item.height - kFieldHeight) / 2;
}

Label& AddCaption(WindowedControl& parent, int left, int top, int width, const std::string& text) {
    Label& label = parent.add<Label>(left, top, width, kCaptionHeight, text);
    label.setFont(DialogFont());
    return label;
}

}  // namespace

TForm12::TForm12(std::function<void()> save)
    : Form("Virus Database Updates", ClientSize().cx, ClientSize().cy, BorderStyle::Dialog),
      RadioGroup1(add<RadioGroup>(
          kMargin, kMargin, kLeftWidth, kScheduleHeight, "Check For Virus Database Updates:",
          std::vector<std::string>{"Daily (Recommended)", "Weekly", "Monthly",
                                   "Intervals of:", "Never Check"})),
      SpinEdit1(RadioGroup1.add<SpinEdit>(kSpinLeft, SpinTop(RadioGroup1), kSpinWidth, kFieldHeight,
                                          kIntervalDaysMin, kIntervalDaysMax)),
      Label1(AddCaption(RadioGroup1, kSpinLeft + kSpinWidth + kDaysGap,
                        SpinTop(RadioGroup1) + kCaptionDrop, 40, "days")),
      RadioGroup2(add<RadioGroup>(
          kMargin, 2 * kMargin + kScheduleHeight, kLeftWidth,
          GroupsBottom(*this) - (2 * kMargin + kScheduleHeight), "When Updates Are Found:",
          std::vector<std::string>{"Ask me to download", "Automatically download"})),
      GroupBox1(add<GroupBox>(kRightLeft, kMargin, ProxyWidth(*this), GroupsBottom(*this) - kMargin,
                              "Proxy Settings")),
      CheckBox1(GroupBox1.add<CheckBox>(kProxyInset, kProxyCheckTop,
                                        ProxyWidth(*this) - 2 * kProxyInset, 17,
                                        "I connect via a proxy server")),
      Label2(AddCaption(GroupBox1, kProxyInset, ProxyRowTop(0) + kCaptionDrop,
                        kProxyFieldLeft - kProxyInset, "Proxy Server:")),
      Edit1(GroupBox1.add<Edit>(kProxyFieldLeft, ProxyRowTop(0),
                                ProxyWidth(*this) - kProxyFieldLeft - kProxyInset, kFieldHeight)),
      Label3(AddCaption(GroupBox1, kProxyInset, ProxyRowTop(1) + kCaptionDrop,
                        kProxyFieldLeft - kProxyInset, "Port:")),
      Edit2(GroupBox1.add<Edit>(kProxyFieldLeft, ProxyRowTop(1), kPortWidth, kFieldHeight)),
      Label4(AddCaption(GroupBox1, kProxyInset, ProxyRowTop(2) + kCaptionDrop,
                        kProxyFieldLeft - kProxyInset, "Username:")),
      Edit3(GroupBox1.add<Edit>(kProxyFieldLeft, ProxyRowTop(2),
                                ProxyWidth(*this) - kProxyFieldLeft - kProxyInset, kFieldHeight)),
      Label5(AddCaption(GroupBox1, kProxyInset, ProxyRowTop(3) + kCaptionDrop,
                        kProxyFieldLeft - kProxyInset, "Password:")),
      Edit4(GroupBox1.add<Edit>(kProxyFieldLeft, ProxyRowTop(3),
                                ProxyWidth(*this) - kProxyFieldLeft - kProxyInset, kFieldHeight)),
      Label6(AddCaption(*this, kMargin,
                        ButtonsTop(*this) + (kButtonHeight - kFieldHeight) / 2 + kCaptionDrop,
                        kMirrorCaptionWidth, "Private mirror:")),
      Edit5(add<Edit>(
          kMargin + kMirrorCaptionWidth, ButtonsTop(*this) + (kButtonHeight - kFieldHeight) / 2,
          clientWidth() - 2 * (kMargin + kButtonWidth) - 2 * kMargin - kMirrorCaptionWidth,
          kFieldHeight)),
      Button1(add<Button>(clientWidth() - 2 * (kMargin + kButtonWidth), ButtonsTop(*this),
                          kButtonWidth, kButtonHeight, "Save Settings")),
      Button2(add<Button>(clientWidth() - kMargin - kButtonWidth, ButtonsTop(*this), kButtonWidth,
                          kButtonHeight, "Cancel")),
      save_(std::move(save)) {
    setFont(DialogFont());
    // The item's button spans the group's width; the field lies over it.
    RadioGroup1.bringToFront(SpinEdit1);
    setStayOnTop(true);
    centreOnScreen();

    onShow = [this] { FormShow(); };
    RadioGroup1.onChange = [this] { UpdateEnabledStates(); };
    CheckBox1.onClick = [this] { UpdateEnabledStates(); };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { close(); };
    WireKeyboard();
}

void TForm12::WireKeyboard() {
    // Enter saves and Escape cancels, as in any dialog; each field reads as
    // the label beside it.
    keyboard().setDefaultButton(&Button1);
    keyboard().setCancelButton(&Button2);
    SpinEdit1.edit().accessible.name = "Intervals of days";
    for (const auto& [field, label] : {std::pair{&Edit1, &Label2}, std::pair{&Edit2, &Label3},
                                       std::pair{&Edit3, &Label4}, std::pair{&Edit4, &Label5}}) {
        field->accessible.name = label->caption();
    }
}

void TForm12::ShowSettings() {
    if (visible()) {
        SetForegroundWindow(handle());
        return;
    }
    centreOnScreen();
    show();
    setStayOnTop(true);
}

void TForm12::FormShow() {
    const SettingsRecord& settings = Settings();
    // A damaged byte outside the choices selects none.
    RadioGroup1.setItemIndex(static_cast<int>(settings.CheckSchedule()));
    RadioGroup2.setItemIndex(static_cast<int>(settings.FoundAction()));
    SpinEdit1.setValue(settings.IntervalDays());
    CheckBox1.setChecked(settings.UseProxy());
    Edit3.setText(settings.ProxyUser());
    Edit4.setText(settings.ProxyPassword());
    Edit1.setText(settings.ProxyServer());
    Edit2.setText(settings.ProxyPort());
    Edit5.setText(ConfiguredMirror());
    UpdateEnabledStates();
}

void TForm12::UpdateEnabledStates() {
    SpinEdit1.setEnabled(RadioGroup1.itemIndex() == kIntervalsItem);
    const bool proxy = CheckBox1.checked();
    for (Edit* edit : {&Edit1, &Edit2, &Edit3, &Edit4})
        edit->setEnabled(proxy);
}

void TForm12::Button1Click() {
    SettingsRecord& settings = Settings();
    const SettingsRecord stored = settings;
    // With no choice selected (a damaged value was loaded) the field keeps
    // what it holds: -1 must not be stored as a choice.
    if (RadioGroup1.itemIndex() >= 0) {
        settings.SetCheckSchedule(static_cast<UpdateSchedule>(RadioGroup1.itemIndex()));
    }
    if (RadioGroup2.itemIndex() >= 0) {
        settings.SetFoundAction(static_cast<FoundUpdateAction>(RadioGroup2.itemIndex()));
    }
    // Read through the range rule also when the field never lost the focus.
    settings.SetIntervalDays(static_cast<std::uint8_t>(SpinEdit1.value()));
    settings.SetUseProxy(CheckBox1.checked());
    settings.SetProxyUser(Edit3.text());
    settings.SetProxyPassword(Edit4.text());
    settings.SetProxyServer(Edit1.text());
    settings.SetProxyPort(Edit2.text());
    try {
        save_();
    } catch (...) {
        // The record in memory goes back to what is stored, so the failure
        // cannot pass for a save; the window stays open with the entries for
        // another try, and the error report shows why.
        settings = stored;
        throw;
    }
    // An error here leaves the window open with the entries, and the
    // report says why; the rest is stored already.
    StoreConfiguredMirror(Edit5.text());
    close();
}

}  // namespace tolvar
