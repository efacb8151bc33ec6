#include "quarantine/allow_list.h"

#include <algorithm>
#include <cctype>

namespace tolvar {

namespace {

// The text's lines without their line breaks (a "\r" before a "\n" too).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsHexDigest(std::string_view text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

bool ParseEntry(std::string_view line, AllowedFile& entry) {
    const std::size_t first = line.find(':');
    if (first == std::string_view::npos) return false;
    const std::size_t second = line.find(':', first + 1);
    if (second == std::string_view::npos) return false;
    const std::string_view md5 = line.substr(0, first);
    const std::string_view size = line.substr(first + 1, second - first - 1);
    if (!IsHexDigest(md5) || size.empty() || size.size() > 19) return false;
    std::uint64_t value = 0;
    for (char c : size) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    entry.md5.assign(md5);
    std::transform(entry.md5.begin(), entry.md5.end(), entry.md5.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    entry.size = value;
    entry.name.assign(line.substr(second + 1));
    return true;
}

std::string Replaced(std::string_view text, bool colonsToo) {
    std::string safe;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        safe += (byte < 0x20 || byte == 0x7f || (colonsToo && c == ':')) ? '_' : c;
    }
    return safe;
}

std::string Joined(const std::vector<std::string_view>& lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace

std::vector<AllowedFile> ReadAllowList(std::string_view text) {
    std::vector<AllowedFile> entries;
    for (std::string_view line : Lines(text)) {
        AllowedFile entry;
        if (ParseEntry(line, entry)) entries.push_back(std::move(entry));
    }
    return entries;
}

std::string WithAllowed(std::string_view text, const AllowedFile& file) {
    std::vector<std::string_view> lines = Lines(text);
    for (std::string_view line : lines) {
        AllowedFile entry;
        if (ParseEntry(line, entry) && entry.md5 == file.md5 && entry.size == file.size) {
            return Joined(lines);
        }
    }
    const std::string added =
        file.md5 + ":" + std::to_string(file.size) + ":" + ListSafeName(file.name);
    lines.push_back(added);
    return Joined(lines);
}

std::string WithoutAllowed(std::string_view text, std::string_view md5, std::uint64_t size) {
    std::vector<std::string_view> kept;
    for (std::string_view line : Lines(text)) {
        AllowedFile entry;
        if (ParseEntry(line, entry) && entry.md5 == md5 && entry.size == size) continue;
        kept.push_back(line);
    }
    return Joined(kept);
}

std::string ListSafeName(std::string_view name) {
    std::string safe = Replaced(name, true);
    return safe.empty() ? "Allowed" : safe;
}

std::vector<std::string> ReadIgnoreList(std::string_view text) {
    std::vector<std::string> names;
    for (std::string_view line : Lines(text)) {
        if (!line.empty()) names.emplace_back(line);
    }
    return names;
}

std::string IgnoreListText(const std::vector<std::string>& names) {
    std::vector<std::string> kept;
    for (const std::string& name : names) {
        std::string safe = Replaced(name, false);
        const std::size_t first = safe.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        safe = safe.substr(first, safe.find_last_not_of(' ') - first + 1);
        if (std::find(kept.begin(), kept.end(), safe) == kept.end()) kept.push_back(safe);
    }
    std::string text;
    for (const std::string& name : kept)
        text += name + "\n";
    return text;
}

}  // namespace tolvar
