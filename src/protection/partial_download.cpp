#include "protection/partial_download.h"

#include <cstddef>

namespace tolvar {

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    const std::size_t start = text.size() - ending.size();
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = text[start + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

}  // namespace

bool IsPartialDownload(std::string_view path) {
    // Only the name counts: a folder called "x.part" holds ordinary files.
    const std::size_t slash = path.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (std::string_view ending : {".crdownload", ".part", ".partial"})
        if (name.size() > ending.size() && EndsWithIgnoringCase(name, ending)) return true;
    return false;
}

}  // namespace tolvar
