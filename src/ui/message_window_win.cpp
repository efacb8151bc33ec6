#include "ui/message_window_win.h"

#include "ui/theme_win.h"

namespace tolvar {

namespace {

Image& PictureControl(Form& form, const std::string& resource) {
    Bitmap picture = LoadPictureResource(resource);
    Image& image = form.add<Image>(0, 0, picture.width(), picture.height());
    // Decoded when the window is first painted: most never show.
    image.setPictureSource([resource] { return LoadPictureResource(resource); });
    image.releasePicture();
    return image;
}

int BackgroundWidth(const std::string& prefix) {
    return LoadPictureResource(prefix + "_IMAGE1").width();
}

int BackgroundHeight(const std::string& prefix) {
    return LoadPictureResource(prefix + "_IMAGE1").height();
}

}  // namespace

MessageWindow::MessageWindow(const std::string& caption, const std::string& picturePrefix,
                             int titleNumber, Skin& skin, bool staysOnTop)
    : Form(caption, BackgroundWidth(picturePrefix), BackgroundHeight(picturePrefix)),
      Background(PictureControl(*this, picturePrefix + "_IMAGE1")),
      skin_(skin),
      staysOnTop_(staysOnTop) {
    if (titleNumber > 0) {
        Title = &PictureControl(*this, picturePrefix + "_IMAGE" + std::to_string(titleNumber));
    }
    accessible.role = AccessibleRole::Dialog;
    setColor(theme::kPageBackground);
    setRounded(true);
    if (staysOnTop_) setStayOnTop(true);
    centreOnScreen();
    for (Image* surface : {&Background, Title}) {
        if (!surface) continue;
        // Only the left button moves the window, as on a title bar.
        surface->onMouseDown = [this](MouseButton button, int, int) {
            if (button == MouseButton::Left) beginDrag();
        };
        surface->onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
    }
}

void MessageWindow::showCentred() {
    centreOnScreen();
    show();
    if (staysOnTop_) setStayOnTop(true);
}

Label& MessageWindow::AddText(int left, int top, int width, int height, const std::string& text) {
    Label& label = add<Label>(left, top, width, height, text);
    label.setFont(FontSpec{theme::kFontName, theme::kFontHeight, false});
    label.setTextColor(theme::kPageText);
    label.setWordWrap(true);
    return label;
}

Image& MessageWindow::AddButton(int slot, int left, int top) {
    const SkinFaces& faces = skin_.Faces(slot);
    const int width = faces.Face0.empty() ? 105 : faces.Face0.width();
    const int height = faces.Face0.empty() ? 33 : faces.Face0.height();
    Image& button = add<Image>(left, top, width, height);
    skin_.Bind(slot, button);
    return button;
}

}  // namespace tolvar
