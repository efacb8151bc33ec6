#include "history/scan_dump.h"

#include <algorithm>
#include <array>

namespace tolvar {

std::vector<std::uint8_t> DumpInfectionTable(const InfectionTable& table) {
    std::vector<std::uint8_t> bytes(kInfectionTableBytes, 0);
    for (std::size_t slot = 0; slot < kInfectionTableSlots; ++slot) {
        table[slot].WriteTo(bytes.data() + slot * InfectionRecord::kSize);
    }
    return bytes;
}

void LoadInfectionTable(InfectionTable& table, const std::uint8_t* data, std::size_t size) {
    const std::size_t available = std::min(size, kInfectionTableBytes);
    for (std::size_t slot = 0; slot < kInfectionTableSlots; ++slot) {
        const std::size_t start = slot * InfectionRecord::kSize;
        if (start + InfectionRecord::kSize <= available) {
            table[slot] = InfectionRecord::ReadFrom(data + start);
        } else if (start < available) {
            // ReadFrom needs a whole record; the part the file lacks reads as
            // zero bytes, and a text cut by the end of the file ends where the
            // file did (no zero characters inside a path).
            std::array<std::uint8_t, InfectionRecord::kSize> partial{};
            std::copy(data + start, data + available, partial.begin());
            InfectionRecord record = InfectionRecord::ReadFrom(partial.data());
            for (std::string* text : {&record.VaultPath, &record.FilePath, &record.VirusName}) {
                text->erase(std::min(text->find('\0'), text->size()));
            }
            table[slot] = record;
        } else {
            table[slot] = InfectionRecord{};
        }
    }
}

}  // namespace tolvar
