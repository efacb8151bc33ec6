#pragma once

// The main window: borderless, rounded, moved by its background.

#include "framework/form.h"
#include "framework/image.h"
#include "framework/label.h"

namespace tolvar {

class TForm1 : public Form {
public:
    static constexpr int kClientWidth = 792;
    static constexpr int kClientHeight = 442;

    TForm1();

    Image& Image1;  // background, fills the client area
    Label& TitleLabel;
};

}  // namespace tolvar
