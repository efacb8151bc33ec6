#include "updates/database_header.h"

#include <cctype>
#include <limits>
#include <string>
#include <vector>

namespace tolvar {

namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t colon = text.find(':');
        fields.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) return fields;
        text.remove_prefix(colon + 1);
    }
}

bool IsDecimal(std::string_view field) {
    if (field.empty() || field.size() > 10) return false;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool IsHex(std::string_view field, std::size_t length) {
    if (field.size() != length) return false;
    for (char c : field) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return false;
    }
    return true;
}

// Ten digits at most, and the value fits an int.
std::optional<int> ReadCount(std::string_view field) {
    if (!IsDecimal(field)) return std::nullopt;
    const long long value = std::stoll(std::string(field));
    if (value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<DatabaseHeader> ReadDatabaseHeader(std::string_view header, std::uint64_t fileSize) {
    if (header.size() < kDatabaseHeaderSize || fileSize <= kDatabaseHeaderSize) return std::nullopt;
    std::string_view text = header.substr(0, kDatabaseHeaderSize);
    // The padding is blanks; a NUL or a line break means some other file.
    const std::size_t end = text.find_last_not_of(' ');
    if (end == std::string_view::npos) return std::nullopt;
    text = text.substr(0, end + 1);
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            return std::nullopt;
        }
    }
    const std::vector<std::string_view> fields = SplitFields(text);
    if (fields.size() < 8 || fields[0] != "ClamAV-VDB") return std::nullopt;
    // Checksum and signature both given, or both "X" (a patched database's).
    const bool patched = fields[5] == "X" && fields[6] == "X";
    const bool wellFormed = !fields[1].empty() && (patched || IsHex(fields[5], 32)) &&
                            !fields[6].empty() && !fields[7].empty();
    const std::optional<int> version = ReadCount(fields[2]);
    const std::optional<int> signatures = ReadCount(fields[3]);
    const std::optional<int> level = ReadCount(fields[4]);
    if (!wellFormed || !version || !signatures || !level) return std::nullopt;
    DatabaseHeader parsed;
    parsed.version = *version;
    parsed.signatures = *signatures;
    parsed.functionalityLevel = *level;
    if (!patched) {
        std::string md5;
        for (char c : fields[5])
            md5 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        parsed.bodyMd5 = std::move(md5);
    }
    return parsed;
}

bool IsSignatureDatabase(std::string_view header, std::uint64_t fileSize) {
    return ReadDatabaseHeader(header, fileSize).has_value();
}

}  // namespace tolvar
