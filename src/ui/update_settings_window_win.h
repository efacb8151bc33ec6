#pragma once

// The update settings window: how often to look for a database update, what
// to do when one is due, the proxy details, and a private mirror. It opens
// without blocking, loads its controls from the stored settings each time it
// opens, and stores them only when "Save Settings" is pressed.

#include <functional>

#include "core/settings.h"
#include "framework/button_win.h"
#include "framework/check_box_win.h"
#include "framework/edit_win.h"
#include "framework/form_win.h"
#include "framework/group_box_win.h"
#include "framework/label_win.h"
#include "framework/radio_group_win.h"
#include "framework/spin_edit_win.h"

namespace tolvar {

class TForm12 : public Form {
public:
    // save writes the settings record; it is SaveSettings but for tests.
    explicit TForm12(std::function<void()> save = SaveSettings);

    // Opens the window centred and on top. A window already open is only
    // brought forward, keeping what the user has entered.
    void ShowSettings();

    RadioGroup& RadioGroup1;  // the schedule
    SpinEdit& SpinEdit1;      // the days of "Intervals of:"
    Label& Label1;            // "days"
    RadioGroup& RadioGroup2;  // what to do when an update is due
    GroupBox& GroupBox1;      // "Proxy Settings"
    CheckBox& CheckBox1;
    Label& Label2;
    Edit& Edit1;  // server
    Label& Label3;
    Edit& Edit2;  // port
    Label& Label4;
    Edit& Edit3;  // user
    Label& Label5;
    Edit& Edit4;      // password, shown as typed
    Label& Label6;    // "Private mirror:"
    Edit& Edit5;      // the mirror's address; empty for ClamAV's own (registry "mirror")
    Button& Button1;  // "Save Settings"
    Button& Button2;  // "Cancel"

private:
    void FormShow();
    void WireKeyboard();
    void Button1Click();
    void UpdateEnabledStates();

    std::function<void()> save_;
};

}  // namespace tolvar
