#pragma once

// The clamd.conf the program wrote (Windows paths) and the one Debian's
// clamd is given (Linux paths). ClamAV's syntax: one "Key value" a line,
// "#" starting a comment line, a value possibly in double quotes.
//
// The bridge speaks for these keys itself: TCPAddr and TCPSocket (where it
// listens for the program; Debian's clamd gets 127.0.0.1 and a port of its
// own), PidFile (the bridge writes its own process id there, as the
// clamd.exe the program started), Foreground (always yes). LocalSocket and
// its companions, FixStaleSocket, User and AllowSupplementaryGroups mean
// nothing for a clamd started by a Windows program and are dropped, as is
// VirusEvent (a Windows command line). DatabaseDirectory, LogFile and
// TemporaryDirectory are mapped to Linux; ExcludePath's leading Windows
// path (see exclude_regex.h) too. Every other key passes as written.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wine_bridge/wine_bridge_win.h"

namespace tolvar::bridge {

struct ProgramConfig {
    std::string listenAddress;     // TCPAddr; "" listens on every interface
    std::optional<unsigned> port;  // TCPSocket
    std::string pidFile;           // PidFile, Windows path in UTF-8
    bool hasDatabaseDirectory = false;
    // Every line with a key, in order, value unquoted.
    std::vector<std::pair<std::string, std::string>> entries;
};

ProgramConfig ParseProgramConfig(std::string_view text);

// The configuration for Debian's clamd, or in error the line that has no
// Linux form.
struct LinuxConfig {
    std::string text;
    std::string error;
};
LinuxConfig TranslateConfig(const WinePaths& wine, const ProgramConfig& config,
                            const std::wstring& defaultDatabaseFolder, unsigned short linuxPort,
                            const std::string& linuxPidFile);

// An ExcludePath regex whose literal start is a Windows path, with that
// path in Linux form; any other regex as it is.
std::string LinuxExcludePath(const WinePaths& wine, std::string_view regex);

}  // namespace tolvar::bridge
