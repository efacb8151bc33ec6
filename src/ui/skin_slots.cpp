#include "ui/skin_slots.h"

#include <stdexcept>

namespace tolvar {

Face ChooseFace(const SlotFlags& flags) {
    if (flags.Selected || flags.Pressed) return Face::Pressed;
    if (flags.Hovered) return Face::Hover;
    return Face::Normal;
}

std::string_view SlotCaption(int n) {
    // As the skin's pictures show them (slots 18 to 22 are spares).
    static constexpr std::array<std::string_view, SlotTable::SlotCount + 1> kCaptions{
        "",
        "Scan",
        "Results",
        "History",
        "Virus Database",
        "Close",
        "Minimize",
        "Options",
        "About",
        "Scan Folders",
        "Full Scan",
        "Start Scan",
        "Pause",
        "Resume",
        "Stop",
        "Remove",
        "Yes",
        "No",
        "OK",
        "Cancel",
        "Yes",
        "No",
        "Close",
        "OK",
        "Remove",
        "Not Now",
        "Close",
        "Restore",
        "Restore To...",
        "Check Now",
        "Settings",
        "Download",
        "Later",
        "Close",
        "Cancel",
        "Start Scan",
        "Cancel",
        "OK",
        "Delete",
        "Allow",
    };
    return SlotTable::IsSlot(n) ? kCaptions[static_cast<std::size_t>(n)] : std::string_view();
}

SlotFlags& SlotTable::flags(int n) {
    if (!IsSlot(n)) throw std::out_of_range("skin slot out of range");
    return flags_[n];
}

const SlotFlags& SlotTable::flags(int n) const {
    if (!IsSlot(n)) throw std::out_of_range("skin slot out of range");
    return flags_[n];
}

void SlotTable::PaintSlot(int n) {
    if (!IsSlot(n) || suppressed_) return;
    if (show_) show_(n, ChooseFace(flags_[n]));
}

void SlotTable::HoverSlot(int n) {
    if (n == hovered_) return;
    // Only a slot number or "none" moves the hover; any other number is
    // ignored whole.
    if (n != None && !IsSlot(n)) return;
    if (IsSlot(hovered_)) {
        flags_[hovered_].Hovered = false;
        PaintSlot(hovered_);
    }
    if (IsSlot(n)) {
        flags_[n].Hovered = true;
        PaintSlot(n);
        hovered_ = n;
    } else {
        hovered_ = None;
    }
}

void SlotTable::PressSlot(int n) {
    if (!IsSlot(n)) return;
    flags_[n].Pressed = true;
    PaintSlot(n);
}

void SlotTable::ReleaseSlot(int n) {
    if (!IsSlot(n)) return;
    flags_[n].Pressed = false;
    PaintSlot(n);
}

void SlotTable::Select(int n, bool selected) {
    if (!IsSlot(n)) return;
    flags_[n].Selected = selected;
    PaintSlot(n);
}

}  // namespace tolvar
