#pragma once

// Short strings: one length byte, then a fixed number of bytes of text;
// bytes after the text are not significant. Every text field of the stored
// records is one. The text is UTF-8, cut at a character boundary when it is
// longer than the field; a field written by an older build in the system's
// ANSI code page (not valid UTF-8) is converted when it is read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

// The longest start of text that fits a field of `capacity` bytes without
// splitting a character.
std::string CutToField(std::string_view text, std::size_t capacity);

// The text when it fits a field of `capacity` bytes; otherwise its longest
// start that leaves room for a closing "?", which no file name holds: a cut
// path then never names another file ("...\report.pdf.exe" cut to
// "...\report.pdf." would name "report.pdf"), and a cut name shows it was
// cut.
std::string CutToFieldMarked(std::string_view text, std::size_t capacity);

// Writes text (cut to capacity) into field, which is capacity + 1 bytes:
// the length byte, the text's bytes, zeros after them.
void WriteShortString(std::uint8_t* field, std::size_t capacity, std::string_view text);

// Reads a field of capacity + 1 bytes, as UTF-8. A length byte larger than
// the capacity (a damaged record) is cut to the capacity. Legacy text that
// no longer fits the field once converted is cut as CutToFieldMarked does.
std::string ReadShortString(const std::uint8_t* field, std::size_t capacity);

}  // namespace tolvar
