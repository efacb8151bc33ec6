#pragma once

// Where the pieces of the skin come from and go to: the faces cut from a
// strip, and the four copies that draw the progress bar.

namespace tolvar {

// (left, top)-(right, bottom), right and bottom exclusive.
struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Box&) const = default;
};

// Picture k (0, 1, 2) of a strip W wide and H high: three pictures stacked,
// each H div 3 high; the H mod 3 rows at the bottom are not used.
Box StripPicture(int stripWidth, int stripHeight, int k);

struct Size {
    int width = 0;
    int height = 0;
};

// A copy from a source rectangle onto a destination rectangle, scaling the
// source to fit.
struct Copy {
    Box source;
    Box target;
    bool operator==(const Copy&) const = default;
};

struct ProgressBarCopies {
    Copy leftCap;
    Copy fill;
    Copy track;
    Copy rightCap;
};

// The progress bar W wide: the left cap, the fill up to the percentage, the
// track stretched over the rest, the right cap. The value is clamped to
// 0..100, so the fill and the track never overlap or turn inside out.
ProgressBarCopies LayOutProgressBar(int barWidth, Size leftCap, Size rightCap, Size track,
                                    Size fill, int progressValue);

// The filled length between the caps: (W - LW - RW) * value / 100, rounded to
// the nearest whole number with a half going to the even neighbour.
int ProgressFillLength(int innerWidth, int progressValue);

}  // namespace tolvar
