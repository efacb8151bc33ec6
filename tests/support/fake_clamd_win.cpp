#include "fake_clamd_win.h"

#include <ws2tcpip.h>

#include <algorithm>

#include "core/tcp_connection_win.h"

namespace tolvar::test {

namespace {

constexpr ULONGLONG kQuietBeforeReverseMs = 150;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void SendText(SOCKET socket, const std::string& text) {
    const std::string framed = text + std::string(1, '\0');
    send(socket, framed.data(), static_cast<int>(framed.size()), 0);
}

}  // namespace

FakeClamd::FakeClamd(bool everyAddress) {
    EnsureWinsock();
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(everyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    int size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    server_ = std::thread([this] { Serve(); });
}

FakeClamd::~FakeClamd() {
    closing_ = true;
    closesocket(listener_);
    server_.join();
}

void FakeClamd::Serve() {
    while (!closing_) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener_, &set);
        timeval limit{0, 50 * 1000};
        if (select(0, &set, nullptr, nullptr, &limit) <= 0) continue;
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        // One session at a time, as the scan opens them.
        ServeConnection(client);
    }
}

void FakeClamd::ServeConnection(SOCKET client) {
    struct Held {
        std::string text;
        ULONGLONG due;
    };
    std::vector<Held> held;
    std::string in;
    std::uint32_t nextId = 1;
    bool streaming = false;
    std::uint32_t streamId = 0;
    std::string streamed;
    ULONGLONG lastCommand = GetTickCount64();

    const auto answer = [&](std::uint32_t id, const std::string& path, const std::string& bytes) {
        const std::string said = verdict ? verdict(path, bytes) : "OK";
        const bool named = EndsWith(said, "FOUND") || EndsWith(said, "ERROR");
        const std::string shown =
            named && resolvedPath && path != "stream" ? resolvedPath(path) : path;
        std::size_t start = 0;
        for (std::size_t end; start <= said.size(); start = end + 1) {
            end = said.find('\n', start);
            if (end == std::string::npos) end = said.size();
            held.push_back(
                {std::to_string(id) + ": " + shown + ": " + said.substr(start, end - start),
                 GetTickCount64() + delayMs});
            std::lock_guard lock(mutex_);
            ++waiting_;
        }
    };
    const auto request = [&]() -> bool {
        std::lock_guard lock(mutex_);
        ++requests_;
        return dropAfterRequests > 0 && requests_ >= dropAfterRequests;
    };

    for (;;) {
        if (closing_) break;
        const ULONGLONG now = GetTickCount64();
        if (!neverAnswer && !held.empty()) {
            std::vector<Held> due;
            if (reverseOrder) {
                if (now - lastCommand >= kQuietBeforeReverseMs) {
                    due.assign(held.rbegin(), held.rend());
                    held.clear();
                }
            } else {
                const auto late = std::stable_partition(
                    held.begin(), held.end(), [now](const Held& h) { return h.due <= now; });
                due.assign(held.begin(), late);
                held.erase(held.begin(), late);
            }
            for (const Held& reply : due) {
                SendText(client, reply.text);
                std::lock_guard lock(mutex_);
                --waiting_;
            }
        }

        if (readTimeoutMs > 0 && now - lastCommand >= readTimeoutMs) {
            SendText(client, "COMMAND READ TIMED OUT");
            break;
        }

        fd_set set;
        FD_ZERO(&set);
        FD_SET(client, &set);
        timeval limit{0, 10 * 1000};
        if (select(0, &set, nullptr, nullptr, &limit) > 0) {
            char buffer[64 * 1024];
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            in.append(buffer, static_cast<std::size_t>(got));
            lastCommand = GetTickCount64();
        }

        for (;;) {
            if (streaming) {
                if (in.size() < 4) break;
                const std::uint32_t length =
                    (static_cast<std::uint32_t>(static_cast<unsigned char>(in[0])) << 24) |
                    (static_cast<std::uint32_t>(static_cast<unsigned char>(in[1])) << 16) |
                    (static_cast<std::uint32_t>(static_cast<unsigned char>(in[2])) << 8) |
                    static_cast<std::uint32_t>(static_cast<unsigned char>(in[3]));
                if (length == 0) {
                    in.erase(0, 4);
                    streaming = false;
                    {
                        std::lock_guard lock(mutex_);
                        streams_.push_back(streamed);
                    }
                    answer(streamId, "stream", streamed);
                    continue;
                }
                if (in.size() < 4 + static_cast<std::size_t>(length)) break;
                streamed.append(in, 4, length);
                in.erase(0, 4 + static_cast<std::size_t>(length));
                if (streamLimit > 0 && streamed.size() > streamLimit) {
                    // As clamd does: the reply, then the connection closes.
                    SendText(client,
                             std::to_string(streamId) + ": INSTREAM size limit exceeded. ERROR");
                    {
                        std::lock_guard lock(mutex_);
                        waiting_ -= static_cast<int>(held.size());
                    }
                    closesocket(client);
                    return;
                }
                continue;
            }
            const std::size_t end = in.find('\0');
            if (end == std::string::npos) break;
            std::string command = in.substr(0, end);
            in.erase(0, end + 1);
            if (!command.empty() && command[0] == 'z') command.erase(0, 1);
            {
                std::lock_guard lock(mutex_);
                commands_.push_back(command);
            }
            if (command == "IDSESSION") {
                std::lock_guard lock(mutex_);
                ++sessions_;
            } else if (command == "END") {
                {
                    std::lock_guard lock(mutex_);
                    ++ends_;
                    waiting_ -= static_cast<int>(held.size());
                }
                closesocket(client);
                return;
            } else if (command.rfind("SCAN ", 0) == 0) {
                const std::string path = command.substr(5);
                {
                    std::lock_guard lock(mutex_);
                    scanned_.push_back(path);
                }
                const std::uint32_t id = nextId++;
                if (request()) {
                    std::lock_guard lock(mutex_);
                    waiting_ = 0;
                    closesocket(client);
                    return;
                }
                answer(id, path, "");
            } else if (command == "INSTREAM") {
                streamId = nextId++;
                streaming = true;
                streamed.clear();
                if (request()) {
                    std::lock_guard lock(mutex_);
                    waiting_ = 0;
                    closesocket(client);
                    return;
                }
            } else {
                held.push_back({std::to_string(nextId++) + ": UNKNOWN COMMAND", GetTickCount64()});
            }
        }
    }
    std::lock_guard lock(mutex_);
    waiting_ -= static_cast<int>(held.size());
    closesocket(client);
}

std::vector<std::string> FakeClamd::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::string> FakeClamd::Scanned() const {
    std::lock_guard lock(mutex_);
    return scanned_;
}

std::vector<std::string> FakeClamd::Streams() const {
    std::lock_guard lock(mutex_);
    return streams_;
}

int FakeClamd::Sessions() const {
    std::lock_guard lock(mutex_);
    return sessions_;
}

int FakeClamd::EndsReceived() const {
    std::lock_guard lock(mutex_);
    return ends_;
}

int FakeClamd::Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

std::string OwnNetworkAddress() {
    EnsureWinsock();
    // A datagram socket "connected" to an outside address sends nothing but
    // is bound to the address this computer would send from.
    const SOCKET probe = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (probe == INVALID_SOCKET) return "";
    sockaddr_in outside{};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(9);
    inet_pton(AF_INET, "198.51.100.1", &outside.sin_addr);
    std::string address;
    if (connect(probe, reinterpret_cast<sockaddr*>(&outside), sizeof outside) == 0) {
        sockaddr_in own{};
        int size = sizeof own;
        char text[INET_ADDRSTRLEN] = "";
        if (getsockname(probe, reinterpret_cast<sockaddr*>(&own), &size) == 0 &&
            inet_ntop(AF_INET, &own.sin_addr, text, sizeof text)) {
            address = text;
        }
    }
    closesocket(probe);
    if (address.rfind("127.", 0) == 0 || address == "0.0.0.0") return "";
    return address;
}

}  // namespace tolvar::test
