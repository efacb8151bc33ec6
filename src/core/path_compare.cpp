#include "core/path_compare.h"

#include "core/utf8_text.h"

namespace tolvar {

namespace {

constexpr std::string_view kLongPrefix = "\\\\?\\";
constexpr std::string_view kLongNetworkPrefix = "\\\\?\\UNC\\";

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

}  // namespace

std::string ComparablePath(std::string_view path) {
    std::string plain;
    if (StartsWith(path, kLongNetworkPrefix)) {
        plain = "\\\\";
        plain += path.substr(kLongNetworkPrefix.size());
    } else if (StartsWith(path, kLongPrefix)) {
        plain = path.substr(kLongPrefix.size());
    } else {
        plain = path;
    }
    while (plain.size() > 1 && plain.back() == '\\')
        plain.pop_back();
    return FoldCaseForPath(plain);
}

bool SamePath(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return false;
    return ComparablePath(a) == ComparablePath(b);
}

bool LiesInside(std::string_view comparablePath, std::string_view comparableFolder) {
    if (comparableFolder.empty()) return false;
    if (comparablePath.substr(0, comparableFolder.size()) != comparableFolder) return false;
    return comparablePath.size() == comparableFolder.size() ||
           comparablePath[comparableFolder.size()] == '\\' || comparableFolder.back() == '\\';
}

std::size_t RootLength(std::string_view path) {
    std::size_t start = 0;
    if (StartsWith(path, kLongNetworkPrefix)) {
        start = kLongNetworkPrefix.size();
    } else if (StartsWith(path, kLongPrefix)) {
        const std::string_view rest = path.substr(kLongPrefix.size());
        return rest.size() >= 3 && rest[1] == ':' && rest[2] == '\\' ? kLongPrefix.size() + 3 : 0;
    } else if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
        return 3;
    } else if (StartsWith(path, "\\\\")) {
        start = 2;
    } else {
        return 0;
    }
    // A network root: the server and the share.
    const std::size_t server = path.find('\\', start);
    if (server == std::string_view::npos || server == start) return 0;
    const std::size_t share = path.find('\\', server + 1);
    if (share == server + 1) return 0;
    return share == std::string_view::npos ? path.size() : share + 1;
}

std::string WithoutClosingBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

}  // namespace tolvar
