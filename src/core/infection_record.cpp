#include "core/infection_record.h"

#include "core/short_string.h"

namespace tolvar {

namespace {

constexpr std::size_t kVaultPathOffset = 0;
constexpr std::size_t kFilePathOffset = kVaultPathOffset + InfectionRecord::kVaultPathCapacity + 1;
constexpr std::size_t kVirusNameOffset = kFilePathOffset + InfectionRecord::kFilePathCapacity + 1;

static_assert(kFilePathOffset == 256 && kVirusNameOffset == 512);
static_assert(kVirusNameOffset + InfectionRecord::kVirusNameCapacity + 1 == InfectionRecord::kSize);

}  // namespace

void InfectionRecord::WriteTo(std::uint8_t* out) const {
    WriteShortString(out + kVaultPathOffset, kVaultPathCapacity, VaultPath);
    WriteShortString(out + kFilePathOffset, kFilePathCapacity, FilePath);
    WriteShortString(out + kVirusNameOffset, kVirusNameCapacity, VirusName);
}

InfectionRecord InfectionRecord::ReadFrom(const std::uint8_t* in) {
    InfectionRecord record;
    record.VaultPath = ReadShortString(in + kVaultPathOffset, kVaultPathCapacity);
    record.FilePath = ReadShortString(in + kFilePathOffset, kFilePathCapacity);
    record.VirusName = ReadShortString(in + kVirusNameOffset, kVirusNameCapacity);
    return record;
}

}  // namespace tolvar
