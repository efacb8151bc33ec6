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
    const bool wellFormed = !fields[1].empty() && IsDecimal(fields[2]) && IsDecimal(fields[3]) &&
                            IsDecimal(fields[4]) && IsHex(fields[5], 32) && !fields[6].empty() &&
                            !fields[7].empty();
    if (!wellFormed) return std::nullopt;
    // Ten digits at most: the version still fits a long long, then an int.
    const long long version = std::stoll(std::string(fields[2]));
    if (version > std::numeric_limits<int>::max()) return std::nullopt;
    DatabaseHeader parsed;
    parsed.version = static_cast<int>(version);
    for (char c : fields[5])
        parsed.bodyMd5 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return parsed;
}

bool IsSignatureDatabase(std::string_view header, std::uint64_t fileSize) {
    return ReadDatabaseHeader(header, fileSize).has_value();
}

}  // namespace tolvar
