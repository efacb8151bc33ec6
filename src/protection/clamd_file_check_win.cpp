#include "protection/clamd_file_check_win.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <vector>

#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "core/tcp_connection_win.h"
#include "core/wide_text_win.h"

namespace tolvar {

namespace {

constexpr DWORD kStreamChunk = 64 * 1024;

FileVerdict NoEngine(std::string why) {
    return {FileVerdict::Kind::NoEngine, std::move(why)};
}

// Sends the file's bytes in zINSTREAM's chunks. "" when all went, else why
// not; unreadable is set when the fault was the file's, not the daemon's.
std::string SendStream(TcpConnection& connection, const std::string& path, bool& unreadable) {
    const UniqueHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr));
    if (!file) {
        unreadable = true;
        return SystemErrorText(GetLastError());
    }
    if (!connection.SendAll(ClamdCommand("INSTREAM"))) return connection.LastError();
    std::vector<char> buffer(4 + kStreamChunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data() + 4, kStreamChunk, &got, nullptr)) {
            // A verdict on part of a file would be no verdict on it.
            unreadable = true;
            return SystemErrorText(GetLastError());
        }
        const std::array<char, 4> length = InstreamChunkLength(got);
        std::memcpy(buffer.data(), length.data(), length.size());
        if (!connection.SendAll(std::string_view(buffer.data(), 4 + got)))
            return connection.LastError();
        if (got == 0) return {};
    }
}

}  // namespace

// The connection of a check, known to its cancel while it lives.
class ClamdCheckConnection {
public:
    ClamdCheckConnection(ClamdCheckCancel& cancel, TcpConnection& connection) : cancel_(cancel) {
        std::lock_guard lock(cancel_.mutex_);
        cancel_.connection_ = &connection;
        if (cancel_.cancelled_) connection.Interrupt();
    }
    ~ClamdCheckConnection() {
        std::lock_guard lock(cancel_.mutex_);
        cancel_.connection_ = nullptr;
    }
    ClamdCheckConnection(const ClamdCheckConnection&) = delete;
    ClamdCheckConnection& operator=(const ClamdCheckConnection&) = delete;

private:
    ClamdCheckCancel& cancel_;
};

void ClamdCheckCancel::Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (connection_) connection_->Interrupt();
}

FileVerdict CheckFileWithClamd(const ClamdAddress& address, const std::string& path, bool stream,
                               unsigned timeoutMs, ClamdCheckCancel& cancel) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string error;
    std::optional<TcpConnection> connection =
        TcpConnection::Connect(address.host, address.port, timeoutMs, error);
    if (!connection) return NoEngine(error);
    const ClamdCheckConnection known(cancel, *connection);
    if (stream) {
        bool unreadable = false;
        const std::string why = SendStream(*connection, path, unreadable);
        if (unreadable) return {FileVerdict::Kind::Unread, why};
        // clamd may have closed on a size limit: its reply is still read.
        (void)why;
    } else if (!connection->SendAll(ClamdCommand("SCAN", path))) {
        return NoEngine(connection->LastError());
    }
    std::string received;
    for (;;) {
        const std::size_t end = received.find('\0');
        if (end != std::string::npos) {
            const ClamdReply reply = ParseClamdReply(std::string_view(received).substr(0, end));
            switch (reply.verdict) {
                case ClamdVerdict::Clean:
                case ClamdVerdict::Excluded:
                case ClamdVerdict::Empty:
                    return {FileVerdict::Kind::Clean, {}};
                case ClamdVerdict::Found:
                    return {FileVerdict::Kind::Found, reply.detail};
                case ClamdVerdict::Error:
                    return {FileVerdict::Kind::Unread, reply.detail};
                case ClamdVerdict::Other:
                    return NoEngine("clamd answered \"" + received.substr(0, end) + "\"");
            }
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return NoEngine("clamd did not answer in time");
        switch (connection->Receive(received, static_cast<unsigned>(deadline - now))) {
            case TcpConnection::Received::Data:
                break;
            case TcpConnection::Received::Closed:
                if (received.empty() || received.back() != '\0') received.push_back('\0');
                if (received.size() == 1) return NoEngine("clamd closed the connection");
                break;
            case TcpConnection::Received::TimedOut:
                return NoEngine("clamd did not answer in time");
            case TcpConnection::Received::Failed:
                return NoEngine(connection->LastError());
        }
    }
}

}  // namespace tolvar
