#include "clamd_bridge/clamd_config_win.h"

#include <cstdlib>

#include "clamd_bridge/exclude_regex.h"
#include "core/ascii_text.h"

namespace tolvar::bridge {

namespace {

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool IsKey(std::string_view key, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (EqualIgnoringCase(key, name)) return true;
    }
    return false;
}

bool IsWindowsPath(std::string_view text) {
    return (text.size() >= 2 && text[1] == ':') || StartsWith(text, "\\\\");
}

std::optional<std::string> LinuxPath(const WinePaths& wine, std::string_view windowsPath) {
    return wine.ToUnix(Widen(windowsPath, CP_UTF8));
}

// A value for the Linux configuration: quoted, as a path may hold blanks.
std::string Quoted(const std::string& value) {
    return "\"" + value + "\"";
}

}  // namespace

ProgramConfig ParseProgramConfig(std::string_view text) {
    ProgramConfig config;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t blank = line.find_first_of(" \t");
        const std::string key(line.substr(0, blank));
        const std::string value(blank == std::string_view::npos
                                    ? std::string_view()
                                    : Unquoted(Trim(line.substr(blank))));
        if (IsKey(key, {"TCPAddr"}) && config.listenAddress.empty()) {
            config.listenAddress = value;
        } else if (IsKey(key, {"TCPSocket"})) {
            char* stop = nullptr;
            const unsigned long port = std::strtoul(value.c_str(), &stop, 10);
            config.port = !value.empty() && *stop == '\0' && port > 0 && port < 65536
                              ? std::optional<unsigned>(static_cast<unsigned>(port))
                              : std::optional<unsigned>(0);
        } else if (IsKey(key, {"PidFile"})) {
            config.pidFile = value;
        } else if (IsKey(key, {"DatabaseDirectory"})) {
            config.hasDatabaseDirectory = true;
        }
        config.entries.emplace_back(key, value);
    }
    return config;
}

std::string LinuxExcludePath(const WinePaths& wine, std::string_view regex) {
    const RegexStart start = SplitLiteralStart(regex);
    if (!IsWindowsPath(start.literal)) return std::string(regex);
    std::optional<std::string> linuxPath = LinuxPath(wine, start.literal);
    if (!linuxPath) return std::string(regex);
    // The folder's own closing separator keeps its sibling "Vault2" out.
    if (start.literal.back() == '\\' && (linuxPath->empty() || linuxPath->back() != '/')) {
        *linuxPath += '/';
    }
    // What follows the path names Windows separators as "\\".
    std::string rest;
    for (std::size_t i = 0; i < start.rest.size(); ++i) {
        if (start.rest.compare(i, 2, "\\\\") == 0) {
            rest += '/';
            ++i;
        } else {
            rest += start.rest[i];
        }
    }
    return (start.anchored ? "^" : "") + EscapeRegex(*linuxPath) + rest;
}

LinuxConfig TranslateConfig(const WinePaths& wine, const ProgramConfig& config,
                            const std::wstring& defaultDatabaseFolder, unsigned short linuxPort,
                            const std::string& linuxPidFile) {
    LinuxConfig out;
    std::string& text = out.text;
    text += "# Written by the clamd bridge from the program's clamd.conf.\n";
    for (const auto& [key, value] : config.entries) {
        if (IsKey(key, {"TCPAddr", "TCPSocket", "PidFile", "Foreground", "LocalSocket",
                        "LocalSocketGroup", "LocalSocketMode", "FixStaleSocket", "User",
                        "AllowSupplementaryGroups", "VirusEvent"})) {
            continue;
        }
        if (IsKey(key, {"DatabaseDirectory", "LogFile", "TemporaryDirectory"})) {
            const std::optional<std::string> linuxPath = LinuxPath(wine, value);
            if (!linuxPath) {
                out.error = key + " " + value;
                return out;
            }
            text += key + " " + Quoted(*linuxPath) + "\n";
        } else if (IsKey(key, {"ExcludePath"})) {
            text += key + " " + LinuxExcludePath(wine, value) + "\n";
        } else {
            text += key + (value.empty() ? "" : " " + value) + "\n";
        }
    }
    if (!config.hasDatabaseDirectory) {
        const std::optional<std::string> linuxPath = wine.ToUnix(defaultDatabaseFolder);
        if (!linuxPath) {
            out.error = "DatabaseDirectory " + Narrow(defaultDatabaseFolder, CP_UTF8);
            return out;
        }
        text += "DatabaseDirectory " + Quoted(*linuxPath) + "\n";
    }
    text += "Foreground yes\n";
    text += "TCPAddr 127.0.0.1\n";
    text += "TCPSocket " + std::to_string(linuxPort) + "\n";
    text += "PidFile " + Quoted(linuxPidFile) + "\n";
    return out;
}

}  // namespace tolvar::bridge
