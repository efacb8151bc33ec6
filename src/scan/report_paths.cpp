#include "scan/report_paths.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/path_compare.h"

namespace tolvar {

namespace {

constexpr std::string_view kLongPrefix = "\\\\?\\";
constexpr std::uint32_t kDirectory = 0x10;

// How many bytes the character starting with this byte takes (1 for a
// stray byte, so that matching still moves on).
std::size_t CharBytes(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

bool Matches(std::string_view pattern, std::string_view name) {
    while (!pattern.empty()) {
        if (name.empty()) return false;
        const std::size_t length =
            std::min(CharBytes(static_cast<unsigned char>(name.front())), name.size());
        if (pattern.front() != '?') {
            if (pattern.substr(0, length) != name.substr(0, length)) return false;
            pattern.remove_prefix(length);
            name.remove_prefix(length);
            continue;
        }
        // A character past U+FFFF may have become "??".
        if (length == 4 && pattern.size() >= 2 && pattern[1] == '?' &&
            Matches(pattern.substr(2), name.substr(length))) {
            return true;
        }
        pattern.remove_prefix(1);
        name.remove_prefix(length);
    }
    return name.empty();
}

}  // namespace

bool MatchesUnknownCharacters(std::string_view pattern, std::string_view name) {
    return Matches(pattern, name);
}

std::optional<std::string> ResolveUnknownCharacters(std::string_view path, FolderLister& lister) {
    // The "?" of the long-path prefix is no unknown character.
    const std::size_t prefix =
        path.substr(0, kLongPrefix.size()) == kLongPrefix ? kLongPrefix.size() : 0;
    if (path.find('?', prefix) == std::string_view::npos) return std::string(path);
    const std::size_t root = RootLength(path);
    if (root == 0 || path.substr(0, root).find('?', prefix) != std::string_view::npos) {
        return std::nullopt;  // no root, or the drive or the share itself is unknown
    }
    std::string resolved(path.substr(0, root));
    std::string_view rest = path.substr(root);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('\\');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.find('?') == std::string_view::npos) {
            resolved += part;
        } else {
            std::vector<std::string> matches;
            std::string folder = resolved;
            if (!folder.empty() && folder.back() != '\\') folder += '\\';
            // A part with more after it must be a folder.
            const bool folderPart = slash != std::string_view::npos;
            lister.List(folder + "*", [&](const FolderLister::Entry& entry) {
                if (entry.name == "." || entry.name == "..") return;
                if (folderPart && !(entry.attributes & kDirectory)) return;
                if (MatchesUnknownCharacters(part, entry.name)) matches.push_back(entry.name);
            });
            if (matches.size() != 1) return std::nullopt;
            resolved += matches.front();
        }
        if (slash != std::string_view::npos) resolved += '\\';
    }
    return resolved;
}

}  // namespace tolvar
