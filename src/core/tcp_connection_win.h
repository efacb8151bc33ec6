#pragma once

// A TCP connection with one owner: connected within a time limit, written
// whole, read with a time limit, and closed with its owner. One thread may
// read while another writes; Interrupt() from any thread makes a waiting
// read return at once.

#include <winsock2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/unique_resource.h"

namespace tolvar {

namespace handle_traits {
struct Socket {
    using Value = SOCKET;
    static Value None() { return INVALID_SOCKET; }
    static bool IsNone(Value v) { return v == INVALID_SOCKET; }
    static void Release(Value v) { closesocket(v); }
};
}  // namespace handle_traits

using UniqueSocket = UniqueResource<handle_traits::Socket>;

// Winsock, started once for the program's life on first use. Throws
// AppError when it cannot start.
void EnsureWinsock();

class TcpConnection {
public:
    // Connects to host:port (a name, an IPv4 or an IPv6 address) within
    // timeoutMs. Nothing on failure, with the reason in words in error.
    static std::optional<TcpConnection> Connect(const std::string& host, std::uint16_t port,
                                                unsigned timeoutMs, std::string& error);

    // Sends every byte; false when the connection broke (the reason in
    // LastError()).
    bool SendAll(std::string_view data);

    enum class Received { Data, Closed, TimedOut, Failed };
    // Waits up to timeoutMs (INFINITE for ever) for bytes and appends what
    // arrived, at most 64 KiB, to into.
    Received Receive(std::string& into, unsigned timeoutMs);

    // Ends both directions: a read waiting on another thread returns.
    void Interrupt();

    // The last failure in words.
    const std::string& LastError() const { return lastError_; }
    // The local port this end is bound to (for finding its owner).
    std::uint16_t LocalPort() const;
    SOCKET get() const { return socket_.get(); }

private:
    explicit TcpConnection(UniqueSocket socket) : socket_(std::move(socket)) {}
    void NoteError(const char* what);

    UniqueSocket socket_;
    std::string lastError_;
};

}  // namespace tolvar
