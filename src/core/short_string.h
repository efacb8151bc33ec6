#pragma once

// Short strings: one length byte, then a fixed number of single-byte
// characters (the system's ANSI code page); bytes after the text are not
// significant. Every text field of the stored records is one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

// The text cut to the field's capacity (the first `capacity` characters).
std::string CutToField(std::string_view text, std::size_t capacity);

// Writes text (cut to capacity) into field, which is capacity + 1 bytes:
// the length byte, the characters, zeros after them.
void WriteShortString(std::uint8_t* field, std::size_t capacity, std::string_view text);

// Reads a field of capacity + 1 bytes. A length byte larger than the
// capacity (a damaged record) is cut to the capacity.
std::string ReadShortString(const std::uint8_t* field, std::size_t capacity);

}  // namespace tolvar
