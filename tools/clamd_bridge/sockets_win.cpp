#include "clamd_bridge/sockets_win.h"

#include <algorithm>
#include <memory>

namespace tolvar::bridge {

namespace {

sockaddr_in LoopbackAddress(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

std::string ErrorText(const char* what) {
    return std::string(what) + " error " + std::to_string(WSAGetLastError());
}

}  // namespace

Winsock::Winsock() {
    WSADATA data;
    ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Winsock::~Winsock() {
    if (ready_) WSACleanup();
}

unsigned short FreeLoopbackPort() {
    UniqueSocket probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!probe) return 0;
    sockaddr_in address = LoopbackAddress(0);
    if (bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    int length = sizeof address;
    if (getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

UniqueSocket ConnectLoopback(unsigned short port) {
    UniqueSocket connection(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!connection) return connection;
    sockaddr_in address = LoopbackAddress(port);
    if (connect(connection.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        connection.reset();
    }
    return connection;
}

Listening Listen(const std::string& address, unsigned short port) {
    Listening result;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found) !=
            0 ||
        !found) {
        result.error = "TCP: getaddrinfo: can't resolve " + address;
        return result;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, &freeaddrinfo);
    UniqueSocket listener(socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    if (!listener) {
        result.error = ErrorText("TCP: socket()");
        return result;
    }
    const BOOL on = TRUE;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
               sizeof on);
    if (bind(listener.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
        result.error = ErrorText("TCP: bind()");
        return result;
    }
    // clamd's own queue length.
    if (listen(listener.get(), 200) != 0) {
        result.error = ErrorText("TCP: listen()");
        return result;
    }
    result.socket = std::move(listener);
    return result;
}

bool SendAll(SOCKET socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int sent = send(socket, bytes.data(), chunk, 0);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool Readable(SOCKET socket, unsigned ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace tolvar::bridge
