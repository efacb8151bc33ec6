#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/picture.h"

namespace tolvar {

// Decodes a baseline or progressive JPEG (colour or grayscale) into opaque
// 8-bit RGBA. CMYK pictures are refused. Throws AppError naming the file when
// it is missing, unreadable, not a JPEG, damaged, truncated or too large.
Picture DecodeJpegFile(const std::string& path);

// Same as DecodeJpegFile for bytes already in memory; `nameForErrors` is only
// used in error messages.
Picture DecodeJpegBytes(const std::uint8_t* data, std::size_t size,
                        const std::string& nameForErrors);

}  // namespace tolvar
