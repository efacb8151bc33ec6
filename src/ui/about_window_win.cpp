#include "ui/about_window_win.h"

#include "framework/resource_data.h"
#include "framework/text_lines.h"
#include "ui/theme_win.h"

namespace tolvar {

namespace {

Image& Background(Form& form) {
    Image& image = form.add<Image>(0, 0, TForm2::kClientWidth, TForm2::kClientHeight);
    // Decoded when the window is first painted: most never show it.
    image.setPictureSource([] { return LoadPictureResource("FORM2_IMAGE1"); });
    image.releasePicture();
    return image;
}

}  // namespace

TForm2::TForm2()
    : Form("About", kClientWidth, kClientHeight),
      Image1(Background(*this)),
      Image2(add<Image>(568, 496, 89, 25)),
      RichEdit1(add<RichEdit>(16, 272, 353, 209)) {
    setColor(theme::kPageBackground);
    centreOnScreen();
    RichEdit1.setFont(FontSpec{theme::kFontName, theme::kFontHeight, false});
    // The stored text has LF line ends; the box keeps its lines with CR LF.
    RichEdit1.setText(JoinCrLf(SplitLines(LoadTextResource("TERMS_TEXT"))));

    Image1.onMouseDown = [this](MouseButton button, int, int) {
        if (button == MouseButton::Left) Image1MouseDown();
    };
    Image2.onClick = [this] { Image2Click(); };
    onKeyDown = [this](int key) { FormKeyDown(key); };
    onShow = [this] { FormShow(); };
    // The drawn close button is a button to the keyboard and to a screen
    // reader, and Escape presses it (the text keeps Escape for itself).
    Image2.accessible.role = AccessibleRole::PushButton;
    Image2.accessible.name = "Close";
    Image2.setTabStop(true);
    RichEdit1.accessible.name = "Terms of Service";
    keyboard().setCancelButton(&Image2);
}

void TForm2::FormShow() {
    // The window, not the text, takes the keys, so Escape closes it until
    // the user clicks into the text.
    SetFocus(handle());
}

void TForm2::Image1MouseDown() {
    // A press beside the text also takes the keys back from it.
    SetFocus(handle());
    beginDrag();
}

void TForm2::Image2Click() {
    close();
}

void TForm2::FormKeyDown(int virtualKey) {
    if (virtualKey == VK_ESCAPE) close();
}

}  // namespace tolvar
