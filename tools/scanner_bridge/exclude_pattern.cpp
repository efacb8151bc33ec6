#include "scanner_bridge/exclude_pattern.h"

#include <cstddef>
#include <vector>

namespace tolvar::bridge {

namespace {

constexpr std::string_view kMeta = ".[]()*+?{}|^$\\";
// A character beyond ASCII: "([^ -~]{1,N}|\?)", N its length in UTF-8.
constexpr std::string_view kStandInStart = "([^ -~]{1,";
constexpr std::string_view kStandInEnd = "}|\\?)";
constexpr std::string_view kFolderEnd = "(\\\\|$)";

// One character of the folder's path, or the stand-in for a character
// beyond ASCII, which matches the same bytes on Linux and is kept as it is.
struct Item {
    char c = 0;
    std::string standIn;
};

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::optional<std::vector<Item>> ItemsOf(std::string_view body) {
    std::vector<Item> items;
    for (std::size_t i = 0; i < body.size();) {
        const std::size_t standInSize = kStandInStart.size() + 1 + kStandInEnd.size();
        if (StartsWith(body.substr(i), kStandInStart) && body.size() >= i + standInSize &&
            body[i + kStandInStart.size()] >= '1' && body[i + kStandInStart.size()] <= '4' &&
            body.substr(i + kStandInStart.size() + 1, kStandInEnd.size()) == kStandInEnd) {
            items.push_back({0, std::string(body.substr(i, standInSize))});
            i += standInSize;
        } else if (body[i] == '\\') {
            if (i + 1 >= body.size()) return std::nullopt;
            items.push_back({body[i + 1], {}});
            i += 2;
        } else if (kMeta.find(body[i]) != std::string_view::npos) {
            return std::nullopt;  // not a pattern the program makes
        } else {
            items.push_back({body[i], {}});
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
    if (items->size() >= 2 && IsLetter((*items)[0].c) && (*items)[1].c == ':') {
        rootEnd = 2;
    } else if (items->size() >= 2 && (*items)[0].c == '\\' && (*items)[1].c == '\\') {
        int backslashes = 2;
        rootEnd = 2;
        while (rootEnd < items->size() && !((*items)[rootEnd].c == '\\' && ++backslashes == 4))
            ++rootEnd;
    } else {
        return std::nullopt;
    }
    std::string root;
    for (std::size_t i = 0; i < rootEnd; ++i) {
        if (!(*items)[i].standIn.empty()) return std::nullopt;
        root += (*items)[i].c;
    }
    std::optional<std::string> linuxPath = linuxRoot(root + "\\");
    if (!linuxPath || linuxPath->empty() || linuxPath->front() != '/') return std::nullopt;
    while (!linuxPath->empty() && linuxPath->back() == '/')
        linuxPath->pop_back();

    std::string pattern = "^";
    for (const char c : *linuxPath)
        AppendEscaped(pattern, c);
    for (std::size_t i = rootEnd; i < items->size(); ++i) {
        const char c = (*items)[i].c;
        if (!(*items)[i].standIn.empty()) {
            pattern += (*items)[i].standIn;
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
