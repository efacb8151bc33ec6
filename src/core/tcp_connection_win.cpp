#include "core/tcp_connection_win.h"

#include <ws2tcpip.h>

#include <memory>

#include "core/app_error.h"
#include "core/system_error_win.h"

namespace tolvar {

namespace {

constexpr int kReceiveLimit = 64 * 1024;

struct AddressListFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

std::string Reason(const char* what, int code) {
    return std::string(what) + ": " + SystemErrorText(static_cast<DWORD>(code));
}

// Waits until the socket is readable (or writable); false on time-out, and
// the failure's code in error.
bool WaitFor(SOCKET socket, bool write, unsigned timeoutMs, int& error) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval limit{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const int n = select(0, write ? nullptr : &set, write ? &set : nullptr, &failed,
                         timeoutMs == INFINITE ? nullptr : &limit);
    if (n == SOCKET_ERROR) {
        error = WSAGetLastError();
        return false;
    }
    if (n == 0) {
        error = WSAETIMEDOUT;
        return false;
    }
    if (FD_ISSET(socket, &failed)) {
        int code = 0;
        int size = sizeof code;
        getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &size);
        error = code ? code : WSAECONNREFUSED;
        return false;
    }
    return true;
}

}  // namespace

void EnsureWinsock() {
    // Started once and never cleaned up: other threads may still close
    // sockets while the program ends.
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0) throw AppError(Reason("Windows Sockets could not be started", started));
}

std::optional<TcpConnection> TcpConnection::Connect(const std::string& host, std::uint16_t port,
                                                    unsigned timeoutMs, std::string& error) {
    EnsureWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int code = getaddrinfo(host.c_str(), service.c_str(), &hints, &found)) {
        error = Reason(("The address " + host + " could not be found").c_str(), code);
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, AddressListFree> list(found);
    error = "The address " + host + " gave no address to connect to";
    for (const addrinfo* at = found; at; at = at->ai_next) {
        UniqueSocket socket(::socket(at->ai_family, at->ai_socktype, at->ai_protocol));
        if (!socket) {
            error = Reason("A socket could not be made", WSAGetLastError());
            continue;
        }
        // Connected without blocking, so that the time limit holds.
        u_long nonBlocking = 1;
        ioctlsocket(socket.get(), FIONBIO, &nonBlocking);
        int code = 0;
        if (connect(socket.get(), at->ai_addr, static_cast<int>(at->ai_addrlen)) == SOCKET_ERROR) {
            code = WSAGetLastError();
            if (code == WSAEWOULDBLOCK && WaitFor(socket.get(), true, timeoutMs, code)) code = 0;
        }
        if (code != 0) {
            error = Reason(("No connection to " + host + " port " + service).c_str(), code);
            continue;
        }
        nonBlocking = 0;
        ioctlsocket(socket.get(), FIONBIO, &nonBlocking);
        // Commands are small and each is waited for: no delay for them.
        BOOL noDelay = TRUE;
        setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                   sizeof noDelay);
        error.clear();
        return TcpConnection(std::move(socket));
    }
    return std::nullopt;
}

void TcpConnection::NoteError(const char* what) {
    lastError_ = Reason(what, WSAGetLastError());
}

bool TcpConnection::SendAll(std::string_view data) {
    while (!data.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
        const int sent = send(socket_.get(), data.data(), chunk, 0);
        if (sent == SOCKET_ERROR || sent <= 0) {
            NoteError("The connection broke while sending");
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

TcpConnection::Received TcpConnection::Receive(std::string& into, unsigned timeoutMs) {
    int code = 0;
    if (timeoutMs != INFINITE && !WaitFor(socket_.get(), false, timeoutMs, code)) {
        if (code == WSAETIMEDOUT) {
            lastError_ = "No answer came in time";
            return Received::TimedOut;
        }
        lastError_ = Reason("The connection broke while receiving", code);
        return Received::Failed;
    }
    char buffer[kReceiveLimit];
    const int got = recv(socket_.get(), buffer, kReceiveLimit, 0);
    if (got == 0) return Received::Closed;
    if (got < 0) {
        NoteError("The connection broke while receiving");
        return Received::Failed;
    }
    into.append(buffer, static_cast<std::size_t>(got));
    return Received::Data;
}

void TcpConnection::Interrupt() {
    shutdown(socket_.get(), SD_BOTH);
}

std::uint16_t TcpConnection::LocalPort() const {
    sockaddr_storage address{};
    int size = sizeof address;
    if (getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

}  // namespace tolvar
