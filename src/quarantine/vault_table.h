#pragma once

// The vault's records in memory: 1000 slots of InfectionRecord, numbered
// from 1, record k in slot k - 1. Records 1 to Count() are the vault; the
// slots after them are always empty, so an append never lands on a record
// and the records file, all 1000 slots in order with no header, holds the
// records and nothing else. Count() is the vault's one count: the settings
// record only keeps a copy of it for earlier builds and the next start.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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

    // Record k, 1 to Count(); throws std::out_of_range for any other k.
    const InfectionRecord& Record(int k) const;

    // Whether some record 1 to Count() has exactly this FilePath, byte for
    // byte and of the same length (so case matters).
    bool IsInVault(const std::string& filePath) const;

    // The number of the record equal to record in all its texts; 0 when no
    // record is. A command that acts on several records one after another
    // finds each again this way, as every removal moves the later ones.
    int Find(const InfectionRecord& record) const;

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

    // The records file: exactly kVaultFileBytes, all 1000 slots in order.
    std::vector<std::uint8_t> FileImage() const;

    // Takes the records of a records file, reading no byte at or past size.
    // A short file is read as far as it goes: a record cut in the middle gets
    // zeros for its missing bytes, later slots become empty records. Bytes
    // past kVaultFileBytes are ignored. Every text is cut at its first NUL.
    //
    // Which slots are records: without storedCount (the settings record was
    // missing or short), every slot up to the last one that names a copy
    // (of those the file holds whole: a record cut by its end lost texts).
    // With it, the records it counts, no further than that last slot, and
    // past them every slot up to the last record whose copy hasCopy finds
    // and that no earlier slot names: a count stored on another computer, or
    // one whose write was lost after the records file's, must not have the
    // next write drop a record with its copy. What lies past the records is
    // a leftover (an earlier build's restore or withdrawn append left it)
    // and is emptied.
    using CopyExists = std::function<bool(const std::string& vaultPath)>;
    void LoadFileImage(const std::uint8_t* data, std::size_t size,
                       std::optional<std::int32_t> storedCount = std::nullopt,
                       const CopyExists& hasCopy = nullptr);

private:
    std::array<InfectionRecord, kVaultSlots> slots_{};
    std::int32_t count_ = 0;
};

// The file name of a path: the text after its last backslash, slash or drive
// colon; all of it when it has none; empty when it ends with one of them.
std::string FileNamePart(std::string_view path);

}  // namespace tolvar
