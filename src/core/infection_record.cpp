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

bool NamesAFile(std::string_view path) {
    std::string_view rest = path;
    if (rest.substr(0, 4) == "\\\\?\\") rest.remove_prefix(4);
    const bool drive = rest.size() >= 3 && rest[1] == ':' && rest[2] == '\\' &&
                       ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'));
    const bool network = path.substr(0, 2) == "\\\\" && rest.size() > 2;
    if (!drive && !network) return false;
    for (const char c : rest) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        switch (c) {
            case '?':
            case '*':
            case '<':
            case '>':
            case '|':
            case '"':
                return false;
            default:
                break;
        }
    }
    return true;
}

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
