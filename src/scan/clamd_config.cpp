#include "scan/clamd_config.h"

#include <algorithm>

#include "core/path_compare.h"

namespace tolvar {

std::string EscapeForRegex(std::string_view text) {
    constexpr std::string_view kSpecial = "\\.^$|?*+()[]{}";
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (kSpecial.find(c) != std::string_view::npos) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string ClamdConfigText(const ClamdConfig& config) {
    std::string vault = config.vaultFolder;
    if (vault.empty() || vault.back() != '\\') vault += '\\';
    std::string text;
    // A child of the program: it must not detach, and ends with it.
    text += "Foreground yes\n";
    // This computer alone: without TCPAddr clamd listens on every network.
    text += "TCPAddr 127.0.0.1\n";
    text += "TCPSocket " + std::to_string(config.port) + "\n";
    text += "DatabaseDirectory " + WithoutClosingBackslash(config.databaseFolder) + "\n";
    text += "MaxThreads " + std::to_string(std::max(1u, config.threads)) + "\n";
    // Anchored, and ending in the backslash: the vault's own files only, not
    // a folder whose name merely begins like the vault's.
    text += "ExcludePath ^" + EscapeForRegex(vault) + "\n";
    return text;
}

}  // namespace tolvar
