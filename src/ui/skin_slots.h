#pragma once

// The state of the skin buttons: three flags per slot, the one hovered slot,
// and the rule that picks a face from the flags. Showing a face is left to
// a callback, so this logic runs (and is tested) without windows.

#include <array>
#include <functional>
#include <string_view>

namespace tolvar {

enum class Face { Normal = 0, Hover = 1, Pressed = 2 };

// The skin buttons by their slot numbers; slot n's faces come from the
// strip "bin\skin\img<n>.png". Slots 19 to 22 are loaded but bound to no
// button.
namespace slot {
// The main window.
inline constexpr int kScanPage = 1;
inline constexpr int kResultsPage = 2;
inline constexpr int kHistoryPage = 3;
inline constexpr int kDatabasePage = 4;
inline constexpr int kClose = 5;
inline constexpr int kMinimize = 6;
inline constexpr int kOptions = 7;
inline constexpr int kAbout = 8;
inline constexpr int kChooseFolders = 9;
inline constexpr int kScanDrives = 10;
inline constexpr int kStartScan = 11;
inline constexpr int kPauseScan = 12;
inline constexpr int kResumeScan = 13;
inline constexpr int kStopScan = 14;
inline constexpr int kRemoveInfections = 15;
inline constexpr int kRestoreToOriginal = 27;
inline constexpr int kRestoreToFolder = 28;
inline constexpr int kCheckNow = 29;
inline constexpr int kDatabaseSettings = 30;
inline constexpr int kDeleteFromVault = 38;
inline constexpr int kRestoreAndAllow = 39;
// The message windows.
inline constexpr int kStopQuestionYes = 16;
inline constexpr int kStopQuestionNo = 17;
inline constexpr int kScanFailedClose = 18;
inline constexpr int kRemovalDoneOk = 23;
inline constexpr int kRemoveYes = 24;
inline constexpr int kRemoveNo = 25;
inline constexpr int kFailureNoticeClose = 26;
inline constexpr int kUpdateYes = 31;
inline constexpr int kUpdateNo = 32;
inline constexpr int kDownloadClose = 33;
inline constexpr int kDownloadCancel = 34;
inline constexpr int kChooserStart = 35;
inline constexpr int kChooserClose = 36;
inline constexpr int kNoInfectionsClose = 37;
}  // namespace slot

struct SlotFlags {
    bool Selected = false;
    bool Pressed = false;
    bool Hovered = false;
};

// A selected or pressed button shows its pressed face; otherwise a hovered
// one its hover face.
Face ChooseFace(const SlotFlags& flags);

// The caption drawn on slot n's faces, which names the button to a screen
// reader where it has no hint; "" outside 1 to 39.
std::string_view SlotCaption(int n);

class SlotTable {
public:
    static constexpr int SlotCount = 39;
    static constexpr int None = -1;

    using ShowFace = std::function<void(int slot, Face face)>;
    explicit SlotTable(ShowFace show) : show_(std::move(show)) {}

    static bool IsSlot(int n) { return n >= 1 && n <= SlotCount; }
    // Flags of slot n, 1 to 39; a number outside that range is a
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
