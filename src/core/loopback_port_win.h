#pragma once

// Ports on this computer's loopback address: one that is free now, and
// which processes listen on one.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvar {

// A TCP port on 127.0.0.1 that nothing holds now: the system picks it for
// a socket bound with SO_EXCLUSIVEADDRUSE, which is then closed. Nothing on
// failure, with why in error.
std::optional<std::uint16_t> FreeLoopbackPort(std::string& error);

// The processes listening on TCP port on 127.0.0.1 or on every address
// (which takes 127.0.0.1's connections too), as the system's table of
// listeners names them. Nothing when the table cannot be read.
std::optional<std::vector<DWORD>> LoopbackListeners(std::uint16_t port, std::string& error);

}  // namespace tolvar
