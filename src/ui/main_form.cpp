#include "ui/main_form.h"

namespace tolvar {

namespace {
constexpr COLORREF kBackground = RGB(22, 48, 86);
}

TForm1::TForm1()
    : Form("Tolvar AntiVirus", kClientWidth, kClientHeight),
      Image1(add<Image>(0, 0, kClientWidth, kClientHeight)),
      TitleLabel(add<Label>(24, 14, 300, 24, "Tolvar AntiVirus")) {
    setColor(kBackground);
    setRounded(true);
    setAppWindow(true);
    centreOnScreen();

    TitleLabel.setFont(FontSpec{"Tahoma", 18, true});
    TitleLabel.setTextColor(RGB(255, 255, 255));

    // Pressing anywhere on the background moves the window.
    auto drag = [this](MouseButton button, int, int) {
        if (button == MouseButton::Left) beginDrag();
    };
    Image1.onMouseDown = drag;
    TitleLabel.onMouseDown = drag;
}

}  // namespace tolvar
