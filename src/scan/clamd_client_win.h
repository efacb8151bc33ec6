#pragma once

// One command to a clamd on a connection of its own, for the daemon's
// housekeeping (PING, VERSION, RELOAD, SHUTDOWN); scans go through a
// session instead.

#include <string>
#include <string_view>

#include "scan/clamd_protocol.h"

namespace tolvar {

struct ClamdAnswer {
    bool answered = false;  // the command went and the daemon replied or closed
    std::string reply;      // without its zero byte; "" when it closed silently
    std::string error;      // why nothing came, in words
};

// Connects, sends "z<command>" and reads one reply, all within timeoutMs.
ClamdAnswer AskClamd(const ClamdAddress& address, std::string_view command, unsigned timeoutMs);

}  // namespace tolvar
