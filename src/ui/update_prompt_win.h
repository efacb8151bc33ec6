#pragma once

// The prompt that offers a due database update.

#include <functional>

#include "ui/message_window_win.h"

namespace tolvar {

class TForm15 : public MessageWindow {
public:
    explicit TForm15(Skin& skin);

    Label& Label1;
    Label& Label2;
    Label& Label3;
    Label& Label4;
    Image& Image2;  // download
    Image& Image3;  // not now

    // Opens the download window modally; set by the program.
    std::function<void()> openDownload;
};

}  // namespace tolvar
