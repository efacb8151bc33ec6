#pragma once

// The program's port: each connection accepted there gets one of its own to
// Debian's clamd, and the protocol is passed both ways on two threads, so
// neither side's bytes wait for the other's (clamd drops a session whose
// replies are not read within half a second).

#include <memory>

#include "clamd_bridge/sockets_win.h"
#include "wine_bridge/wine_bridge_win.h"

namespace tolvar::bridge {

// Accepts on listener, on a thread of its own, for as long as the process
// runs; each connection is relayed to 127.0.0.1:linuxPort.
void StartRelays(UniqueSocket listener, unsigned short linuxPort,
                 std::shared_ptr<const WinePaths> wine);

}  // namespace tolvar::bridge
