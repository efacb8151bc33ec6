#include "scan/excluded_folders.h"

#include <algorithm>
#include <cstddef>

#include "core/path_compare.h"

namespace tolvar {

namespace {

constexpr std::string_view kLongNetworkPrefix = "\\\\?\\UNC\\";
constexpr std::string_view kLongPrefix = "\\\\?\\";

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Characters no Windows file or folder name may hold (the colon is checked
// apart, as a drive's names it).
bool IsForbiddenInName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' ||
           c == ':';
}

// The names after a root, split at backslashes (empty names, from repeated
// backslashes, left out); nothing when one cannot be a folder's name.
std::optional<std::vector<std::string_view>> NamesOf(std::string_view rest) {
    std::vector<std::string_view> names;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        const std::string_view name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (name == "." || name == "..") return std::nullopt;
        if (std::any_of(name.begin(), name.end(), IsForbiddenInName)) return std::nullopt;
        names.push_back(name);
    }
    return names;
}

std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), IsBlank);
}

}  // namespace

std::optional<std::string> ExcludedFolderOf(std::string_view line) {
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back()))
        line.remove_suffix(1);
    std::string path(line);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (StartsWith(path, kLongNetworkPrefix)) {
        path = "\\\\" + path.substr(kLongNetworkPrefix.size());
    } else if (StartsWith(path, kLongPrefix)) {
        path.erase(0, kLongPrefix.size());
    }

    std::string folder;
    std::string_view rest;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':' &&
        (path.size() == 2 || path[2] == '\\')) {
        folder = {static_cast<char>(path[0] & ~0x20), ':'};
        rest = std::string_view(path).substr(2);
    } else if (StartsWith(path, "\\\\")) {
        // A share: its server and its name come first, both required.
        const std::optional<std::vector<std::string_view>> names =
            NamesOf(std::string_view(path).substr(2));
        if (!names || names->size() < 2) return std::nullopt;
        folder = "\\";  // with the first name's backslash, the share's two
        for (const std::string_view name : *names) {
            folder += '\\';
            folder += name;
        }
        return folder;
    } else {
        return std::nullopt;
    }
    const std::optional<std::vector<std::string_view>> names = NamesOf(rest);
    if (!names) return std::nullopt;
    if (names->empty()) return folder + '\\';
    for (const std::string_view name : *names) {
        folder += '\\';
        folder += name;
    }
    return folder;
}

std::vector<std::string> ParseExcludedFolders(std::string_view text) {
    std::vector<std::string> folders;
    std::vector<std::string> seen;
    for (const std::string_view line : LinesOf(text)) {
        std::optional<std::string> folder = ExcludedFolderOf(line);
        if (!folder) continue;
        std::string comparable = ComparablePath(*folder);
        if (std::find(seen.begin(), seen.end(), comparable) != seen.end()) continue;
        seen.push_back(std::move(comparable));
        folders.push_back(std::move(*folder));
    }
    return folders;
}

std::vector<std::string> LinesNamingNoFolder(std::string_view text) {
    std::vector<std::string> lines;
    for (const std::string_view line : LinesOf(text)) {
        if (!IsBlankLine(line) && !ExcludedFolderOf(line)) lines.emplace_back(line);
    }
    return lines;
}

std::string ExcludedFoldersText(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) {
        if (!text.empty()) text += "\r\n";
        text += folder;
    }
    return text;
}

std::string ClamscanExcludePattern(const std::string& folder) {
    // clamscan joins names with one backslash, and a drive's root it was
    // given as "D:\" it names "D:".
    const std::string plain =
        folder.size() == 3 && folder[2] == '\\' ? folder.substr(0, 2) : folder;
    std::string pattern = "^";
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const auto byte = static_cast<unsigned char>(plain[i]);
        if (byte >= 0x80) {
            // One character, with its continuation bytes (10xxxxxx): as
            // many bytes in UTF-8, one in a code page of one byte a letter,
            // none of them printable ASCII; or the "?" a code page that
            // lacks it puts in its place.
            std::size_t length = 1;
            while (i + 1 < plain.size() &&
                   (static_cast<unsigned char>(plain[i + 1]) & 0xC0) == 0x80) {
                ++i;
                ++length;
            }
            pattern += "([^ -~]{1,";
            pattern += static_cast<char>('0' + std::min<std::size_t>(length, 4));
            pattern += "}|\\?)";
            continue;
        }
        if (std::string_view(".[]()*+?{}|^$\\").find(plain[i]) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += plain[i];
    }
    // The folder ends there: at a backslash before a name of its own, or
    // at the end of the path.
    pattern += "(\\\\|$)";
    return pattern;
}

ExcludedFolders::ExcludedFolders(std::vector<std::string> folders) : folders_(std::move(folders)) {
    for (const std::string& folder : folders_)
        comparable_.push_back(ComparablePath(folder));
}

bool ExcludedFolders::Covers(std::string_view path) const {
    if (comparable_.empty() || path.empty()) return false;
    const std::string comparable = ComparablePath(path);
    return std::any_of(comparable_.begin(), comparable_.end(),
                       [&](const std::string& folder) { return LiesInside(comparable, folder); });
}

}  // namespace tolvar
