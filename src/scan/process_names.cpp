#include "scan/process_names.h"

#include <algorithm>

#include "core/path_compare.h"

namespace tolvar {

namespace {

constexpr std::size_t kMaxImageName = 260;

char AsciiLowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string ImageNameFromExeFile(std::string_view exeFile) {
    exeFile = exeFile.substr(0, std::min(exeFile.find('\0'), kMaxImageName));
    const std::size_t separator = exeFile.find_last_of("\\:");
    if (separator != std::string_view::npos) exeFile.remove_prefix(separator + 1);
    return std::string(exeFile);
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLowerChar);
    return lower;
}

bool IsOwnImageName(std::string_view imageName) {
    return AsciiLower(imageName) == "antivirus.exe";
}

std::vector<std::size_t> ProcessesRunningFile(const std::vector<std::string>& imageNames,
                                              const std::vector<std::string>& fullPaths,
                                              std::string_view fullTarget) {
    std::vector<std::size_t> found;
    if (fullTarget.empty()) return found;
    const std::size_t count = std::min(imageNames.size(), fullPaths.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (fullPaths[i].empty() || IsOwnImageName(imageNames[i])) continue;
        if (SamePath(fullPaths[i], fullTarget)) found.push_back(i);
    }
    return found;
}

}  // namespace tolvar
