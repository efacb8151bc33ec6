#include "scan/clamd_client_win.h"

#include <windows.h>

#include "core/tcp_connection_win.h"

namespace tolvar {

ClamdAnswer AskClamd(const ClamdAddress& address, std::string_view command, unsigned timeoutMs) {
    ClamdAnswer answer;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::optional<TcpConnection> connection =
        TcpConnection::Connect(address.host, address.port, timeoutMs, answer.error);
    if (!connection) return answer;
    if (!connection->SendAll(ClamdCommand(command))) {
        answer.error = connection->LastError();
        return answer;
    }
    std::string received;
    for (;;) {
        const std::size_t end = received.find('\0');
        if (end != std::string::npos) {
            answer.answered = true;
            answer.reply = received.substr(0, end);
            return answer;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            answer.error = "clamd did not answer " + std::string(command) + " in time";
            return answer;
        }
        switch (connection->Receive(received, static_cast<unsigned>(deadline - now))) {
            case TcpConnection::Received::Data:
                break;
            case TcpConnection::Received::Closed:
                // SHUTDOWN closes without a word; a cut reply still counts.
                answer.answered = true;
                answer.reply = received;
                return answer;
            case TcpConnection::Received::TimedOut:
                answer.error = "clamd did not answer " + std::string(command) + " in time";
                return answer;
            case TcpConnection::Received::Failed:
                answer.error = connection->LastError();
                return answer;
        }
    }
}

}  // namespace tolvar
