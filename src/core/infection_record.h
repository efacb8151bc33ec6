#pragma once

// One detection: where its copy lies in the vault, the infected file, the
// scanner's name for what it found. Stored as 563 bytes: three short strings
// of 255, 255 and 50 characters, in that order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

struct InfectionRecord {
    static constexpr std::size_t kVaultPathCapacity = 255;
    static constexpr std::size_t kFilePathCapacity = 255;
    static constexpr std::size_t kVirusNameCapacity = 50;
    static constexpr std::size_t kSize = 563;

    std::string VaultPath;
    std::string FilePath;
    std::string VirusName;

    bool operator==(const InfectionRecord&) const = default;

    // Texts longer than their fields are cut when written.
    void WriteTo(std::uint8_t* out) const;                    // exactly kSize bytes
    static InfectionRecord ReadFrom(const std::uint8_t* in);  // exactly kSize bytes
};

// Whether a path names one file the program may act on: an absolute path
// ("X:\..." or "\\...") with no character that no file name can hold (a
// wildcard, one of "<>|, or a control character) past the "\\?\" of a
// long path. A detection whose path fails this is listed and counted but
// never removed: acting on it would act on another file, or on none.
bool NamesAFile(std::string_view path);
inline bool IsRemovable(const InfectionRecord& record) {
    return NamesAFile(record.FilePath);
}

// The detections of the current scan: 500 slots; the k-th detection of a
// scan (from 1) is in slot k - 1. Slots past the current count hold what an
// earlier scan left.
constexpr std::size_t kInfectionTableSlots = 500;
constexpr std::size_t kInfectionTableBytes = kInfectionTableSlots * InfectionRecord::kSize;
using InfectionTable = std::array<InfectionRecord, kInfectionTableSlots>;

}  // namespace tolvar
