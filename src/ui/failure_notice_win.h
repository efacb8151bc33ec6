#pragma once

// The notice shown when a database download fails: what to check, why it
// failed, and a link to the proxy settings.

#include <functional>
#include <string>

#include "ui/message_window_win.h"

namespace tolvar {

class TForm14 : public MessageWindow {
public:
    explicit TForm14(Skin& skin);
    // Shows the notice, not modally, with the reason's line.
    void ShowFailure(const std::string& reason);

    Label& Label1;
    Label& Label2;
    Label& Label3;
    Label& Label4;
    Label& Label5;
    Label& Label6;
    Label& Label7;  // the link "here"
    Label& Label8;  // the reason
    Image& Image2;  // close

    // Opens the update settings; set by whoever owns that window.
    std::function<void()> openSettings;
};

}  // namespace tolvar
