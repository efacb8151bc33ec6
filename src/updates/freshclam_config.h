#pragma once

// How the program runs ClamAV's updater (freshclam.exe, beside the scanner):
// when it does, the configuration file it writes for each run, and the
// command line.

#include <string>
#include <string_view>

#include "updates/database_transport.h"

namespace tolvar {

// The updater does every update when it is there: ClamAV's mirror serves
// nothing else. A mirror address of the user's own goes through the
// program's own download instead, since that mirror need not speak the
// updater's protocol.
bool UpdatesThroughFreshclam(bool freshclamPresent, std::string_view configuredMirror);

// The configuration: the database folder (without its closing backslash),
// ClamAV's mirror, and the proxy of the update settings with its login when
// the user connects through one. Throws AppError when a proxy field cannot
// be passed on: a line break would end its line, and the port must be a
// number.
std::string FreshclamConfig(const std::string& databaseFolder, const ProxySettings& proxy);

// The updater's command line: its configuration file, the database folder,
// and its progress line even though its output is no console.
std::string FreshclamCommandLine(const std::string& executable, const std::string& configFile,
                                 const std::string& databaseFolder);

}  // namespace tolvar
