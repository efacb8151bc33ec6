#pragma once

// How a registry default value is taken into the program's state, kept apart
// from the registry calls so the rules can be tested anywhere.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

enum class RegistryValueType { Missing, Binary, String, Other };

// Reads a value into a fixed record of recordSize bytes. A missing value
// leaves the record as it is; a binary value no longer than the record
// replaces that many leading bytes and keeps the rest. Any other type, or a
// binary value longer than the record, throws AppError and changes nothing,
// so a foreign or newer layout never half-overwrites the defaults.
void ApplyBinaryValue(std::uint8_t* record, std::size_t recordSize, RegistryValueType type,
                      const std::uint8_t* data, std::size_t size);

// A text value: missing reads as empty, a string is taken up to its first NUL
// (the stored terminator and anything after it are dropped). Any other type
// throws AppError.
std::string ReadTextValue(RegistryValueType type, std::string_view data);

}  // namespace tolvar
