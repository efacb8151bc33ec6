#include "ui/skin_win.h"

#include "framework/windowed_control_win.h"
#include "ui/skin_geometry.h"

namespace tolvar {

namespace {

// Where a strip has transparency, the face shows this behind it: the light
// surface the buttons of the pages and dialogs stand on.
constexpr Rgb kFaceBackground{244, 247, 251};

Bitmap CutPicture(Bitmap& strip, int k) {
    const Box box = StripPicture(strip.width(), strip.height(), k);
    Bitmap face(box.width(), box.height());
    if (face.empty()) return face;
    BitmapCanvas from(strip);
    BitmapCanvas to(face);
    StretchBlt(to.dc(), 0, 0, box.width(), box.height(), from.dc(), box.left, box.top, box.width(),
               box.height(), SRCCOPY);
    return face;
}

void CopyScaled(HDC target, HDC source, const Copy& copy) {
    if (copy.target.width() <= 0 || copy.target.height() <= 0) return;
    StretchBlt(target, copy.target.left, copy.target.top, copy.target.width(), copy.target.height(),
               source, copy.source.left, copy.source.top, copy.source.width(), copy.source.height(),
               SRCCOPY);
}

}  // namespace

std::string SkinStripPath(const std::string& programFolder, int n) {
    return programFolder + "bin\\skin\\img" + std::to_string(n) + ".png";
}

Skin::Skin() : slots_([this](int n, Face face) { ShowFace(n, face); }) {}

void Skin::Bind(int n, Image& control) {
    if (!SlotTable::IsSlot(n)) return;
    controls_[n] = &control;
    control.accessible.role = AccessibleRole::PushButton;
    control.accessible.name = std::string(SlotCaption(n));
    control.accessible.pressed = [this, n] { return ChooseFace(slots_.flags(n)) == Face::Pressed; };
    control.setTabStop(true);
    control.onMouseMove = [this, n](int, int) { HoverSlot(n); };
    // Off the button by a move too fast to cross a surface that clears the
    // hover, or off the window: its hover face must not stay.
    control.onMouseLeave = [this, n] {
        if (slots_.HoveredSlot() == n) HoverSlot(SlotTable::None);
    };
    control.onMouseDown = [this, n](MouseButton, int, int) { PressSlot(n); };
    control.onMouseUp = [this, n](MouseButton, int, int) { ReleaseSlot(n); };
}

void Skin::BindProgressBar(Image& control) {
    progressImage_ = &control;
    control.accessible.role = AccessibleRole::ProgressBar;
    control.accessible.value = [this] { return std::to_string(progress_.ProgressValue) + "%"; };
}

void Skin::LoadSkin(const std::string& programFolder) {
    Bitmap scratch;
    for (int n = 1; n <= SlotTable::SlotCount; ++n) {
        slots_.flags(n) = SlotFlags{};
        LoadPngAsBitmap(SkinStripPath(programFolder, n), scratch, kFaceBackground);
        faces_[n].Face0 = CutPicture(scratch, 0);
        faces_[n].Face1 = CutPicture(scratch, 1);
        faces_[n].Face2 = CutPicture(scratch, 2);
    }
    const std::string base = programFolder + "bin\\skin\\timg1";
    LoadPngAsBitmap(base + "f.png", scratch, kFaceBackground);
    progress_.Fill = std::move(scratch);
    LoadPngAsBitmap(base + ".png", scratch, kFaceBackground);
    progress_.LeftCap = CutPicture(scratch, 0);
    progress_.RightCap = CutPicture(scratch, 1);
    progress_.Track = CutPicture(scratch, 2);
}

void Skin::Release() {
    for (SkinFaces& f : faces_)
        f = SkinFaces{};
    progress_.LeftCap = Bitmap();
    progress_.RightCap = Bitmap();
    progress_.Fill = Bitmap();
    progress_.Track = Bitmap();
}

void Skin::ShowFace(int n, Face face) {
    Image* control = controls_[n];
    if (!control) return;  // the reserved slots paint nothing
    const SkinFaces& f = faces_[n];
    const Bitmap& picture = face == Face::Pressed ? f.Face2
                            : face == Face::Hover ? f.Face1
                                                  : f.Face0;
    // The control keeps its own copy, as a picture assignment does.
    control->setPicture(picture.clone());
    const bool pressed = face == Face::Pressed;
    if (pressed != shownPressed_[n]) {
        shownPressed_[n] = pressed;
        control->announce(EVENT_OBJECT_STATECHANGE);
    }
}

void Skin::PaintProgressBar(int k) {
    if (k != 1 || !progressImage_) return;
    std::lock_guard<std::mutex> lock(ProgressLock);
    ProgressSkin& p = progress_;
    if (p.LeftCap.empty() || p.RightCap.empty() || p.Fill.empty() || p.Track.empty()) return;
    Image& bar = *progressImage_;
    const int width = bar.bounds().width;
    if (bar.picture().width() != width || bar.picture().height() != bar.bounds().height) {
        bar.picture().setSize(width, bar.bounds().height);
    }
    const ProgressBarCopies copies = LayOutProgressBar(
        width, Size{p.LeftCap.width(), p.LeftCap.height()},
        Size{p.RightCap.width(), p.RightCap.height()}, Size{p.Track.width(), p.Track.height()},
        Size{p.Fill.width(), p.Fill.height()}, p.ProgressValue);
    {
        BitmapCanvas canvas(bar.picture());
        SetStretchBltMode(canvas.dc(), COLORONCOLOR);
        {
            BitmapCanvas source(p.LeftCap);
            CopyScaled(canvas.dc(), source.dc(), copies.leftCap);
        }
        {
            BitmapCanvas source(p.Fill);
            CopyScaled(canvas.dc(), source.dc(), copies.fill);
        }
        {
            BitmapCanvas source(p.Track);
            CopyScaled(canvas.dc(), source.dc(), copies.track);
        }
        {
            BitmapCanvas source(p.RightCap);
            CopyScaled(canvas.dc(), source.dc(), copies.rightCap);
        }
    }
    bar.invalidate();
    // Drawn every 100 ms while a scan runs; told only when it moved.
    if (p.ProgressValue != announcedProgress_) {
        announcedProgress_ = p.ProgressValue;
        bar.announce(EVENT_OBJECT_VALUECHANGE);
    }
}

}  // namespace tolvar
