#pragma once

// Where the program's own clamd stands, which engine a scan runs on, and
// both in words for the Protection window.

#include <cstdint>
#include <optional>
#include <string>

#include "scan/clamd_protocol.h"
#include "scan/engine_setting.h"
#include "scan/scan_engine.h"

namespace tolvar {

enum class DaemonPhase {
    Off,      // not started: not wanted, or clamd.exe is missing (reason says which)
    Loading,  // started, its port not yet answering and trusted
    Ready,    // answering on its port, and the port is its own
    Failed,   // ended for good, or not trusted (reason says why)
};

struct DaemonStatus {
    DaemonPhase phase = DaemonPhase::Off;
    // Where it listens, once ready.
    std::optional<ClamdAddress> address;
    // What its VERSION answered, once ready.
    std::optional<ClamdVersion> version;
    // Loading a new database after an update; the old one still scans.
    bool reloading = false;
    // Why it is off or failed, in words.
    std::string reason;

    bool operator==(const DaemonStatus&) const;
};

// What a clamd at an address of the user's answered when last asked.
struct RemoteStatus {
    bool asked = false;
    bool answered = false;  // PONG came back
    std::optional<ClamdVersion> version;
    std::string reason;  // why it did not answer
};

// The reasons the program's own clamd is off, as the window shows them.
inline constexpr const char* kNoClamdExe = "clamd.exe is not in the scanner folder";
inline constexpr const char* kNotKeptLoaded = "the scan engine is not kept loaded";
inline constexpr const char* kNotAutomatic = "the engine setting names another engine";

// "ClamAV 1.4.6 daemon", from a VERSION answer; "ClamAV daemon" without one.
std::string DaemonName(const std::optional<ClamdVersion>& version);

// The engine for the next scan. ownStatus is the program's own clamd; remote
// is what the clamd at the setting's address answered just now (asked only
// for an address setting).
ScanEngineChoice ChooseScanEngine(const EngineSetting& setting, const DaemonStatus& own,
                                  const RemoteStatus& remote);

struct EngineWords {
    std::string engine;  // the engine a scan would use now
    std::string state;   // "ClamAV 1.4.6 daemon, ready", "loading signatures", ...
    std::string note;    // a stored setting that could not be read; "" for none
};
EngineWords DescribeEngine(const EngineSetting& setting, const DaemonStatus& own,
                           const RemoteStatus& remote);

}  // namespace tolvar
