#pragma once

#include <string>

namespace tolvar {

// The scan state as a word, "idle", "scanning" or "paused": every guard in
// the program compares against these words. Touched on the UI thread only.
extern std::string ScanState;

inline bool ScanIsIdle() {
    return ScanState == "idle";
}

}  // namespace tolvar
