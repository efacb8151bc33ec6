#pragma once

// A picture painted by its parent: at its natural size from the control's
// top-left corner, or stretched over the control. A picture decoded from
// the program's resources can be let go while its window is hidden (the
// program waits in the tray all day) and is decoded again when it is next
// painted or asked for.

#include <functional>

#include "framework/bitmap_win.h"
#include "framework/control_win.h"

namespace tolvar {

class Image : public GraphicControl {
public:
    Image(WindowedControl& parent, int left, int top, int width, int height);

    // The image keeps its own copy of what it shows.
    void setPicture(Bitmap picture);
    // Shows what source gives, which it can give again at any time: the
    // picture may then be let go and made anew.
    void setPictureSource(std::function<Bitmap()> source);
    // Lets go of a picture that has a source; nothing for any other.
    void releasePicture();
    // For drawing onto the picture in place; call invalidate() after.
    Bitmap& picture() { return loaded(); }
    const Bitmap& picture() const { return loaded(); }

    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);

    void paint(HDC dc) const override;

private:
    Bitmap& loaded() const;

    // Made anew from the source when it was let go.
    mutable Bitmap picture_;
    std::function<Bitmap()> source_;
    bool stretch_ = false;
};

class WindowedControl;

// Lets go of the pictures with a source of every image in root's tree: for a
// window that is hidden for long.
void ReleaseResourcePictures(const WindowedControl& root);

}  // namespace tolvar
