#pragma once

// The state of the skin buttons: three flags per slot, the one hovered slot,
// and the rule that picks a face from the flags. Showing a face is left to
// a callback, so this logic runs (and is tested) without windows.

#include <array>
#include <functional>

namespace tolvar {

enum class Face { Normal = 0, Hover = 1, Pressed = 2 };

struct SlotFlags {
    bool Selected = false;
    bool Pressed = false;
    bool Hovered = false;
};

// A selected or pressed button shows its pressed face; otherwise a hovered
// one its hover face.
Face ChooseFace(const SlotFlags& flags);

class SlotTable {
public:
    static constexpr int SlotCount = 37;
    static constexpr int None = -1;

    using ShowFace = std::function<void(int slot, Face face)>;
    explicit SlotTable(ShowFace show) : show_(std::move(show)) {}

    static bool IsSlot(int n) { return n >= 1 && n <= SlotCount; }
    // Flags of slot n, 1 to 37; a number outside that range is a
    // programming error and throws std::out_of_range.
    SlotFlags& flags(int n);
    const SlotFlags& flags(int n) const;

    void PaintSlot(int n);
    void HoverSlot(int n);
    void PressSlot(int n);
    void ReleaseSlot(int n);
    // Sets or clears Selected, then paints the slot.
    void Select(int n, bool selected);

    int HoveredSlot() const { return hovered_; }
    bool PaintingSuppressed() const { return suppressed_; }
    // Once set (the main window is closing) it stays set.
    void SuppressPainting() { suppressed_ = true; }

private:
    ShowFace show_;
    std::array<SlotFlags, SlotCount + 1> flags_{};  // index 0 unused
    int hovered_ = None;
    bool suppressed_ = false;
};

}  // namespace tolvar
