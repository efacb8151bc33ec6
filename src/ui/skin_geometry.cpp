#include "ui/skin_geometry.h"

#include <algorithm>
#include <cmath>

namespace tolvar {

Box StripPicture(int stripWidth, int stripHeight, int k) {
    const int h = stripHeight / 3;
    return Box{0, k * h, stripWidth, (k + 1) * h};
}

int ProgressFillLength(int innerWidth, int progressValue) {
    // The product is whole; only the division is done in floating point.
    const double exact = static_cast<double>(innerWidth * progressValue) / 100.0;
    const double down = std::floor(exact);
    const double fraction = exact - down;
    double rounded = fraction > 0.5 ? down + 1 : down;
    if (fraction == 0.5) rounded = std::fmod(down, 2.0) == 0.0 ? down : down + 1;
    return static_cast<int>(rounded);
}

ProgressBarCopies LayOutProgressBar(int barWidth, Size leftCap, Size rightCap, Size track,
                                    Size fill, int progressValue) {
    const int value = std::clamp(progressValue, 0, 100);
    const int lw = leftCap.width;
    const int rw = rightCap.width;
    const int d = ProgressFillLength(barWidth - lw - rw, value);
    ProgressBarCopies copies;
    copies.leftCap = Copy{Box{0, 0, lw, leftCap.height}, Box{0, 0, lw, leftCap.height}};
    // The fill's source is LW wider than its target, so it is squeezed.
    copies.fill = Copy{Box{0, 0, lw + d, fill.height}, Box{lw, 0, lw + d, fill.height}};
    copies.track =
        Copy{Box{0, 0, track.width, track.height}, Box{lw + d, 0, barWidth - rw, track.height}};
    copies.rightCap =
        Copy{Box{0, 0, rw, rightCap.height}, Box{barWidth - rw, 0, barWidth, rightCap.height}};
    return copies;
}

}  // namespace tolvar
