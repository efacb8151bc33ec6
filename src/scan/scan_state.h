#pragma once

#include <string>

namespace tolvar {

// The scan state as a word, "idle", "scanning" or "paused": stored and
// compared as these words (the helpers below), touched on the UI thread only.
extern std::string ScanState;

namespace scan_state {
inline constexpr const char* kIdle = "idle";
inline constexpr const char* kScanning = "scanning";
inline constexpr const char* kPaused = "paused";
}  // namespace scan_state

inline bool ScanIsIdle() {
    return ScanState == scan_state::kIdle;
}
inline bool ScanIsScanning() {
    return ScanState == scan_state::kScanning;
}
inline bool ScanIsPaused() {
    return ScanState == scan_state::kPaused;
}

}  // namespace tolvar
