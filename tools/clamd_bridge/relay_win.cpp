#include "clamd_bridge/relay_win.h"

#include <atomic>
#include <thread>
#include <utility>

#include "clamd_bridge/clamd_protocol_win.h"

namespace tolvar::bridge {

namespace {

// How long a wait for input lasts before a relay looks whether its other
// direction ended.
constexpr unsigned kLookMs = 200;

struct Connection {
    UniqueSocket program;
    UniqueSocket clamd;
    std::shared_ptr<const WinePaths> wine;
    SentCommands sent;
    std::atomic<bool> over{false};
};

// Reads from `from` until it ends, the other direction ended, or `to` is
// gone; each piece goes through translate.
template <typename Translate>
bool Pump(Connection& connection, SOCKET from, SOCKET to, Translate translate) {
    char buffer[65536];
    while (!connection.over) {
        if (!Readable(from, kLookMs)) continue;
        const int got = recv(from, buffer, sizeof buffer, 0);
        if (got <= 0) return got == 0;
        const std::string out = translate(std::string_view(buffer, static_cast<std::size_t>(got)));
        if (!out.empty() && !SendAll(to, out)) return false;
    }
    return false;
}

void ProgramToClamd(std::shared_ptr<Connection> connection) {
    CommandStream commands(*connection->wine, connection->sent);
    const bool ended = Pump(*connection, connection->program.get(), connection->clamd.get(),
                            [&](std::string_view bytes) { return commands.Pass(bytes); });
    if (ended) {
        // The program sent all it will: clamd answers what it has, then
        // closes, and so ends the other direction.
        shutdown(connection->clamd.get(), SD_SEND);
    } else {
        connection->over = true;
    }
}

void ClamdToProgram(std::shared_ptr<Connection> connection) {
    ReplyStream replies(*connection->wine, connection->sent);
    const bool ended = Pump(*connection, connection->clamd.get(), connection->program.get(),
                            [&](std::string_view bytes) { return replies.Pass(bytes); });
    if (ended) SendAll(connection->program.get(), replies.Rest());
    // clamd closed the connection (or it broke): so does the program's.
    connection->over = true;
    shutdown(connection->program.get(), SD_BOTH);
}

void Accept(std::shared_ptr<UniqueSocket> listener, unsigned short linuxPort,
            std::shared_ptr<const WinePaths> wine) {
    for (;;) {
        UniqueSocket program(accept(listener->get(), nullptr, nullptr));
        if (!program) {
            if (WSAGetLastError() == WSAENOTSOCK) return;
            Sleep(50);
            continue;
        }
        UniqueSocket clamd = ConnectLoopback(linuxPort);
        // Debian's clamd is gone or going: the program sees the connection
        // close, as with a clamd that is shutting down.
        if (!clamd) continue;
        auto connection = std::make_shared<Connection>();
        connection->program = std::move(program);
        connection->clamd = std::move(clamd);
        connection->wine = wine;
        std::thread(ProgramToClamd, connection).detach();
        std::thread(ClamdToProgram, connection).detach();
    }
}

}  // namespace

void StartRelays(UniqueSocket listener, unsigned short linuxPort,
                 std::shared_ptr<const WinePaths> wine) {
    auto shared = std::make_shared<UniqueSocket>(std::move(listener));
    std::thread(Accept, shared, linuxPort, std::move(wine)).detach();
}

}  // namespace tolvar::bridge
