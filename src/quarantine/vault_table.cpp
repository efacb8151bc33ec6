#include "quarantine/vault_table.h"

#include <algorithm>
#include <stdexcept>

#include "core/short_string.h"

namespace tolvar {

namespace {

// The Win32 calls that take these paths stop reading at a NUL. A NUL inside
// a stored path (a damaged or planted records file, a text whose end the
// file lacks) would make the table compare one name while the file system
// acts on another.
std::string UpToNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

InfectionRecord AsStored(const InfectionRecord& record) {
    InfectionRecord stored;
    stored.VaultPath = CutToField(UpToNul(record.VaultPath), InfectionRecord::kVaultPathCapacity);
    stored.FilePath = CutToField(UpToNul(record.FilePath), InfectionRecord::kFilePathCapacity);
    stored.VirusName = CutToField(UpToNul(record.VirusName), InfectionRecord::kVirusNameCapacity);
    return stored;
}

constexpr std::int32_t kSlotCount = static_cast<std::int32_t>(kVaultSlots);

}  // namespace

const InfectionRecord& VaultTable::Record(int k) const {
    if (k < 1 || k > count_) {
        throw std::out_of_range("vault record " + std::to_string(k) + " of " +
                                std::to_string(count_));
    }
    return slots_[static_cast<std::size_t>(k - 1)];
}

bool VaultTable::IsInVault(const std::string& filePath) const {
    return std::any_of(slots_.begin(), slots_.begin() + count_,
                       [&](const InfectionRecord& r) { return r.FilePath == filePath; });
}

int VaultTable::Find(const InfectionRecord& record) const {
    const auto end = slots_.begin() + count_;
    const auto found = std::find(slots_.begin(), end, record);
    return found == end ? 0 : static_cast<int>(found - slots_.begin()) + 1;
}

bool VaultTable::Append(const InfectionRecord& record) {
    if (count_ >= kSlotCount) return false;
    slots_[static_cast<std::size_t>(count_)] = AsStored(record);
    ++count_;
    return true;
}

void VaultTable::WithdrawLast() {
    if (count_ == 0) return;
    --count_;
    // A slot past the count is never read back as a record, but the file
    // keeps it: a later damaged count would bring back a record whose vault
    // copy was never made.
    slots_[static_cast<std::size_t>(count_)] = InfectionRecord{};
}

void VaultTable::Remove(int k) {
    if (k < 1 || k > count_) {
        throw std::out_of_range("vault record " + std::to_string(k) + " of " +
                                std::to_string(count_));
    }
    const auto first = slots_.begin() + (k - 1);
    const auto end = slots_.begin() + count_;
    std::move(first + 1, end, first);
    --count_;
    // Otherwise the file keeps a second copy of the record that was last.
    slots_[static_cast<std::size_t>(count_)] = InfectionRecord{};
}

std::vector<std::uint8_t> VaultTable::FileImage() const {
    std::vector<std::uint8_t> bytes(kVaultFileBytes, 0);
    for (std::size_t slot = 0; slot < kVaultSlots; ++slot)
        slots_[slot].WriteTo(bytes.data() + slot * InfectionRecord::kSize);
    return bytes;
}

void VaultTable::LoadFileImage(const std::uint8_t* data, std::size_t size,
                               std::optional<std::int32_t> storedCount, const CopyExists& hasCopy) {
    const std::size_t available = data == nullptr ? 0 : std::min(size, kVaultFileBytes);
    for (std::size_t slot = 0; slot < kVaultSlots; ++slot) {
        const std::size_t start = slot * InfectionRecord::kSize;
        if (start >= available) {
            slots_[slot] = InfectionRecord{};
            continue;
        }
        // ReadFrom needs a whole record; what the file lacks reads as zeros,
        // which the cut at NUL then drops.
        const std::size_t present = std::min(available - start, InfectionRecord::kSize);
        std::array<std::uint8_t, InfectionRecord::kSize> bytes{};
        std::copy(data + start, data + start + present, bytes.begin());
        slots_[slot] = AsStored(InfectionRecord::ReadFrom(bytes.data()));
    }

    // The last slot that names a copy, of those the file holds whole: one
    // cut by the file's end has lost part of its texts.
    const auto whole = static_cast<std::int32_t>(available / InfectionRecord::kSize);
    std::int32_t last = 0;
    for (std::int32_t k = 1; k <= whole; ++k) {
        if (!slots_[static_cast<std::size_t>(k - 1)].VaultPath.empty()) last = k;
    }
    count_ = last;
    if (storedCount) {
        count_ = std::clamp(*storedCount, std::int32_t{0}, last);
        for (std::int32_t k = count_ + 1; k <= last; ++k) {
            const InfectionRecord& record = slots_[static_cast<std::size_t>(k - 1)];
            const auto named = [&](const InfectionRecord& r) {
                return r.VaultPath == record.VaultPath;
            };
            if (record.VaultPath.empty() || !hasCopy || !hasCopy(record.VaultPath) ||
                std::any_of(slots_.begin(), slots_.begin() + (k - 1), named)) {
                continue;
            }
            count_ = k;
        }
    }
    std::fill(slots_.begin() + count_, slots_.end(), InfectionRecord{});
}

std::string FileNamePart(std::string_view path) {
    // Windows takes a forward slash for a separator too; a name keeping one
    // would lead a copy out of the folder meant for it.
    const std::size_t last = path.find_last_of("\\/:");
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

}  // namespace tolvar
