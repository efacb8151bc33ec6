#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/picture.h"

namespace tolvar {

// Decodes any PNG colour type, bit depth and interlacing into 8-bit RGBA.
// Throws AppError naming the file when it is missing, unreadable, not a PNG,
// damaged, truncated or too large.
Picture DecodePngFile(const std::string& path);

// Same as DecodePngFile for bytes already in memory; `nameForErrors` is only
// used in error messages.
Picture DecodePngBytes(const std::uint8_t* data, std::size_t size,
                       const std::string& nameForErrors);

}  // namespace tolvar
