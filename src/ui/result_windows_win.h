#pragma once

// The windows that end a scan: no infections found, or the scan could not be
// done.

#include "ui/message_window_win.h"

namespace tolvar {

class TForm17 : public MessageWindow {
public:
    explicit TForm17(Skin& skin);
    Label& Label1;
    Image& Image2;  // closes the window
};

class ScanFailedForm : public MessageWindow {
public:
    explicit ScanFailedForm(Skin& skin);
    // Shows why, with the scanner's own error line when there is one.
    void ShowFailure(const std::string& reason);
    Label& Label1;
    Label& Label2;
    Image& Image2;  // closes the window
};

}  // namespace tolvar
