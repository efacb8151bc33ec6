#pragma once

// The colours, fonts and placements the program's pictures were drawn for:
// text and surfaces painted by code must match them.

#include <windows.h>

namespace tolvar {

namespace theme {
inline constexpr COLORREF kWindowBackground = RGB(15, 39, 66);
inline constexpr COLORREF kPageBackground = RGB(244, 247, 251);
inline constexpr COLORREF kPageText = RGB(29, 43, 58);
inline constexpr const char* kFontName = "Tahoma";
inline constexpr int kFontHeight = 13;
}  // namespace theme

namespace layout {
// Page titles, at the top left of each page.
inline constexpr int kTitleLeft = 24;
inline constexpr int kTitleTop = 20;
// Figures: captions, then their values to the right.
inline constexpr int kCaptionLeft = 40;
inline constexpr int kValueLeft = 200;
inline constexpr int kHistoryValueLeft = 300;
// The row of scan commands on the progress view.
inline constexpr int kCommandLeft = 16;
inline constexpr int kCommandTop = 250;
inline constexpr int kCommandWidth = 105;
inline constexpr int kCommandHeight = 33;
inline constexpr int kCommandStep = 118;
}  // namespace layout

}  // namespace tolvar
