#pragma once

// The vault's records in memory: 1000 slots of InfectionRecord, numbered
// from 1, record k in slot k - 1. Only records 1 to Count() are valid; the
// slots after them hold leftovers or nothing. The records file
// virus_vault\records.gav is all 1000 slots in order, with no header; the
// count is not in it but in the settings record, so it comes and goes
// through Count() and SetCount().

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/infection_record.h"

namespace tolvar {

constexpr std::size_t kVaultSlots = 1000;
constexpr std::size_t kVaultFileBytes = 563000;
static_assert(kVaultFileBytes == kVaultSlots * InfectionRecord::kSize);

class VaultTable {
public:
    std::int32_t Count() const { return count_; }
    // Clamped to 0..1000: the value comes from a stored settings record that
    // may be damaged, and every walk over the records trusts it.
    void SetCount(std::int32_t count);

    // Record k, 1 to Count(); throws std::out_of_range for any other k.
    const InfectionRecord& Record(int k) const;

    // Whether some record 1 to Count() has exactly this FilePath, byte for
    // byte and of the same length (so case matters).
    bool IsInVault(const std::string& filePath) const;

    // Adds the record after the last one. Its texts are stored as the file
    // will keep them (cut to their fields, and at a NUL), so what the table
    // compares before a restart is what it compares after one. False, with
    // nothing changed, when all 1000 slots are taken.
    bool Append(const InfectionRecord& record);

    // Takes back the last record (a removal whose copy failed); nothing
    // happens at Count() 0.
    void WithdrawLast();

    // Removes record k (1 to Count(), else std::out_of_range): the records
    // after it move down one slot.
    void Remove(int k);

    // How many slots from the first on hold a record that names a copy,
    // whatever Count() says: the records a file written by this program
    // holds (it leaves the slots after its records empty).
    std::int32_t LeadingRecords() const;

    // The records file: exactly kVaultFileBytes, all 1000 slots in order.
    std::vector<std::uint8_t> FileImage() const;

    // Fills every slot from a records file, reading no byte at or past size.
    // A short file is read as far as it goes: a record cut in the middle gets
    // zeros for its missing bytes, later slots become empty records. Bytes
    // past kVaultFileBytes are ignored. Every text is cut at its first NUL.
    // Count() is left alone: the caller sets it from the settings record.
    void LoadFileImage(const std::uint8_t* data, std::size_t size);

private:
    std::array<InfectionRecord, kVaultSlots> slots_{};
    std::int32_t count_ = 0;
};

// The file name of a path: the text after its last backslash, slash or drive
// colon; all of it when it has none; empty when it ends with one of them.
std::string FileNamePart(std::string_view path);

}  // namespace tolvar
