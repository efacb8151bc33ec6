#pragma once

// The skin engine: the faces of the 39 skin buttons cut from the PNG strips
// under bin\skin\, the flags that pick a face, and the progress bar drawn
// from its caps, track and fill.

#include <array>
#include <mutex>
#include <string>

#include "framework/bitmap_win.h"
#include "framework/image_win.h"
#include "ui/skin_slots.h"

namespace tolvar {

struct SkinFaces {
    Bitmap Face0;  // normal
    Bitmap Face1;  // hover
    Bitmap Face2;  // pressed, and selected
};

struct ProgressSkin {
    Bitmap LeftCap;
    Bitmap RightCap;
    Bitmap Fill;
    Bitmap Track;
    int ProgressValue = 0;  // whole percentage, 0 to 100
};

class Skin {
public:
    Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Ties slot n to the image control it paints, and the control's mouse to
    // the slot's hover, press and release. The control becomes a push button
    // that takes the keyboard focus, named by its hint or else its face's
    // caption, and shown pressed while its face is.
    void Bind(int n, Image& control);
    // The image control the progress bar is drawn onto, which reads as a
    // progress bar with its percentage.
    void BindProgressBar(Image& control);

    // Decodes every strip; the first file that is missing or not a PNG
    // stops the load with an error naming it.
    void LoadSkin(const std::string& programFolder);
    // Frees every face and progress bitmap.
    void Release();

    SlotTable& Slots() { return slots_; }
    void PaintSlot(int n) { slots_.PaintSlot(n); }
    void HoverSlot(int n) { slots_.HoverSlot(n); }
    void PressSlot(int n) { slots_.PressSlot(n); }
    void ReleaseSlot(int n) { slots_.ReleaseSlot(n); }

    ProgressSkin& Progress() { return progress_; }
    void SetProgressValue(int value) { progress_.ProgressValue = value; }
    // Only k = 1 draws: the one progress skin onto the bound image.
    void PaintProgressBar(int k);

    const SkinFaces& Faces(int n) const { return faces_.at(n); }

private:
    void ShowFace(int n, Face face);

    SlotTable slots_;
    std::array<SkinFaces, SlotTable::SlotCount + 1> faces_;  // index 0 unused
    std::array<Image*, SlotTable::SlotCount + 1> controls_{};
    // Whether each control shows its pressed face: a change is announced.
    std::array<bool, SlotTable::SlotCount + 1> shownPressed_{};
    ProgressSkin progress_;
    Image* progressImage_ = nullptr;
    int announcedProgress_ = -1;
    // Held while the progress bar is drawn.
    std::mutex ProgressLock;
};

// The path of skin strip n: "bin\skin\img" + n + ".png" under the folder.
std::string SkinStripPath(const std::string& programFolder, int n);

}  // namespace tolvar
