#include "scanner_bridge/exclude_pattern.h"

#include <cstddef>
#include <vector>

namespace tolvar::bridge {

namespace {

constexpr std::string_view kMeta = ".[]()*+?{}|^$\\";
constexpr std::string_view kAnyCharacter = "[^\\]{1,4}";  // beyond ASCII
constexpr std::string_view kFolderEnd = "(\\\\|$)";

// One character of the folder's path; 0 for a character beyond ASCII,
// which the pattern matches by any one to four bytes.
using Item = char;

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::optional<std::vector<Item>> ItemsOf(std::string_view body) {
    std::vector<Item> items;
    for (std::size_t i = 0; i < body.size();) {
        if (StartsWith(body.substr(i), kAnyCharacter)) {
            items.push_back(0);
            i += kAnyCharacter.size();
        } else if (body[i] == '\\') {
            if (i + 1 >= body.size()) return std::nullopt;
            items.push_back(body[i + 1]);
            i += 2;
        } else if (kMeta.find(body[i]) != std::string_view::npos) {
            return std::nullopt;  // not a pattern the program makes
        } else {
            items.push_back(body[i]);
            ++i;
        }
    }
    return items;
}

void AppendEscaped(std::string& pattern, char c) {
    if (kMeta.find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
}

}  // namespace

std::optional<std::string> LinuxExcludePattern(
    std::string_view windowsPattern,
    const std::function<std::optional<std::string>(const std::string& windowsRoot)>& linuxRoot) {
    if (!StartsWith(windowsPattern, "^") || windowsPattern.size() < 1 + kFolderEnd.size() ||
        windowsPattern.substr(windowsPattern.size() - kFolderEnd.size()) != kFolderEnd) {
        return std::nullopt;
    }
    const std::optional<std::vector<Item>> items =
        ItemsOf(windowsPattern.substr(1, windowsPattern.size() - 1 - kFolderEnd.size()));
    if (!items) return std::nullopt;

    // The root: "X:", or "\\server\share".
    std::size_t rootEnd = 0;
    if (items->size() >= 2 && IsLetter((*items)[0]) && (*items)[1] == ':') {
        rootEnd = 2;
    } else if (items->size() >= 2 && (*items)[0] == '\\' && (*items)[1] == '\\') {
        int backslashes = 2;
        rootEnd = 2;
        while (rootEnd < items->size() && !((*items)[rootEnd] == '\\' && ++backslashes == 4))
            ++rootEnd;
    } else {
        return std::nullopt;
    }
    std::string root;
    for (std::size_t i = 0; i < rootEnd; ++i) {
        if ((*items)[i] == 0) return std::nullopt;
        root += (*items)[i];
    }
    std::optional<std::string> linuxPath = linuxRoot(root + "\\");
    if (!linuxPath || linuxPath->empty() || linuxPath->front() != '/') return std::nullopt;
    while (!linuxPath->empty() && linuxPath->back() == '/')
        linuxPath->pop_back();

    std::string pattern = "^";
    for (const char c : *linuxPath)
        AppendEscaped(pattern, c);
    for (std::size_t i = rootEnd; i < items->size(); ++i) {
        const char c = (*items)[i];
        if (c == 0) {
            pattern += "[^/]{1,4}";
        } else if (c == '\\') {
            pattern += '/';
        } else if (IsLetter(c)) {
            pattern += '[';
            pattern += static_cast<char>(c & ~0x20);
            pattern += static_cast<char>(c | 0x20);
            pattern += ']';
        } else {
            AppendEscaped(pattern, c);
        }
    }
    pattern += "(/|$)";
    return pattern;
}

}  // namespace tolvar::bridge
