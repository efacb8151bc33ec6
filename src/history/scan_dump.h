#pragma once

// The file db\list.gav: the whole infection table of the latest scan that
// found something, 500 records of 563 bytes in slot order, no header.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/infection_record.h"

namespace tolvar {

// Always kInfectionTableBytes (281500) bytes, whatever the table holds.
std::vector<std::uint8_t> DumpInfectionTable(const InfectionTable& table);

// Fills every slot from data, reading no byte at or past size. A short file
// (an interrupted write, a full disk) is read as far as it goes: a record cut
// in the middle gets zeros for its missing bytes and the slots after it become
// empty records. Bytes past kInfectionTableBytes are ignored.
void LoadInfectionTable(InfectionTable& table, const std::uint8_t* data, std::size_t size);

}  // namespace tolvar
