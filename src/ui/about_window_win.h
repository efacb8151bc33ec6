#pragma once

// The About window: a borderless picture with the product's name and a close
// button drawn on it, and the product's terms of service in a text box. The
// text can be edited in the window but is never saved. Escape closes the
// window only while the window itself, not the text, has the keyboard focus.

#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/rich_edit_win.h"

namespace tolvar {

class TForm2 : public Form {
public:
    static constexpr int kClientWidth = 658;
    static constexpr int kClientHeight = 530;

    TForm2();

    Image& Image1;        // background, with the close button's look
    Image& Image2;        // invisible click area over the drawn close button
    RichEdit& RichEdit1;  // the terms of service

private:
    void FormShow();
    void Image1MouseDown();
    void Image2Click();
    void FormKeyDown(int virtualKey);
};

}  // namespace tolvar
