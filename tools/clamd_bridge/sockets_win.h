#pragma once

// The few Winsock calls the clamd bridge makes: one owner per socket, a
// listener, a connection to the Linux clamd, whole sends, and waits for
// input that give up now and then so a relay can see it was told to stop.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <optional>
#include <string>
#include <string_view>

#include "core/unique_resource.h"

namespace tolvar::bridge {

namespace socket_traits {
struct Socket {
    using Value = SOCKET;
    static Value None() { return INVALID_SOCKET; }
    static bool IsNone(Value v) { return v == INVALID_SOCKET; }
    static void Release(Value v) { closesocket(v); }
};
}  // namespace socket_traits

using UniqueSocket = UniqueResource<socket_traits::Socket>;

// Winsock for the life of the bridge.
class Winsock {
public:
    Winsock();
    ~Winsock();
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
};

// A port on 127.0.0.1 that nobody listens on at this moment (0 when none
// could be found).
unsigned short FreeLoopbackPort();

// A connection to 127.0.0.1:port; none when nobody accepts there.
UniqueSocket ConnectLoopback(unsigned short port);

// Listens on address:port as clamd does (SO_REUSEADDR, so a restart finds
// the port despite connections still closing); address "" means every
// interface. The reason in words when it cannot.
struct Listening {
    UniqueSocket socket;
    std::string error;
};
Listening Listen(const std::string& address, unsigned short port);

// Sends all of bytes; false when the connection is gone.
bool SendAll(SOCKET socket, std::string_view bytes);

// Waits up to ms for bytes to read (or the connection's end); true when a
// recv would not block.
bool Readable(SOCKET socket, unsigned ms);

}  // namespace tolvar::bridge
