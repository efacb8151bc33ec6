#pragma once

// A stand-in clamd for the tests: a small TCP server on a thread of its
// own that speaks the session protocol (zIDSESSION, zSCAN, zINSTREAM with
// its chunk framing, zEND) and can misbehave on purpose: answer out of
// order, late or never, drop the connection after some requests, and stop a
// stream over a size limit with the reply and the close real clamd gives.
// Verdicts come from verdict(), given the path (or "stream") and the bytes
// a stream carried; the replies are worded as clamd 1.4.6 words them.

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvar::test {

class FakeClamd {
public:
    // Listens on 127.0.0.1, or on every address of this computer (for a
    // clamd "on another computer" reached by this computer's own address).
    explicit FakeClamd(bool everyAddress = false);
    ~FakeClamd();
    FakeClamd(const FakeClamd&) = delete;
    FakeClamd& operator=(const FakeClamd&) = delete;

    std::uint16_t Port() const { return port_; }

    // Set before a scan begins.
    // The verdict for a request: the text after "<path>: " ("OK",
    // "Eicar-Test-Signature FOUND", "Can't open file or directory ERROR");
    // lines apart are replies of their own for the same request ("Empty
    // file\nOK", as clamd answers an empty file).
    std::function<std::string(const std::string& path, const std::string& streamed)> verdict;
    // The path a FOUND or ERROR reply names (clamd names the path it finally
    // reached); the path sent when unset.
    std::function<std::string(const std::string& path)> resolvedPath;
    // Replies are held while requests keep coming and then go out newest
    // first, once the client has sent nothing for a moment.
    bool reverseOrder = false;
    // Each reply waits this long before it goes.
    unsigned delayMs = 0;
    // Nothing is ever answered.
    std::atomic<bool> neverAnswer{false};
    // The connection is cut once this many requests (counted over every
    // session) have arrived, none of them answered; 0 never.
    int dropAfterRequests = 0;
    // As clamd's ReadTimeout: a session that sends nothing for this long
    // is told "COMMAND READ TIMED OUT" and closed, its unanswered requests
    // dropped; 0 never.
    unsigned readTimeoutMs = 0;
    // A stream longer than this gets clamd's size-limit reply and the
    // connection is closed; 0 for no limit.
    std::size_t streamLimit = 0;

    // What arrived, in order: "IDSESSION", "SCAN <path>", "INSTREAM",
    // "END", and anything else as sent.
    std::vector<std::string> Commands() const;
    std::vector<std::string> Scanned() const;  // the paths of SCAN requests
    std::vector<std::string> Streams() const;  // the bytes of each whole stream
    int Sessions() const;
    int EndsReceived() const;
    // Replies held back, now.
    int Waiting() const;

private:
    void Serve();
    void ServeConnection(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::atomic<bool> closing_{false};
    std::thread server_;

    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::vector<std::string> scanned_;
    std::vector<std::string> streams_;
    int sessions_ = 0;
    int ends_ = 0;
    int requests_ = 0;
    int waiting_ = 0;
};

// An IPv4 address of this computer other than its loopback, as text; ""
// when it has none.
std::string OwnNetworkAddress();

}  // namespace tolvar::test
