#pragma once

// The layer a copy's bytes go through on their way to the disk.

#include <functional>

namespace tolvar {

// Writes all size bytes at the end of file (a system file handle), or
// returns false with the system's error code set. The system's own writes
// by default (SystemWrites() in file_transfer_win.h); a test stands a layer
// here that runs out of room part way, as a full disk does.
using WriteChunk = std::function<bool(void* file, const char* data, unsigned long size)>;

}  // namespace tolvar
