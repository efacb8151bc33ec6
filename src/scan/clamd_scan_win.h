#pragma once

// A scan through clamd: a walker finds the targets' files, a driver sends
// one request per file over one zIDSESSION connection (zSCAN with the path
// for a clamd on this computer, zINSTREAM with the file's bytes for one on
// another), never more than a few dozen at once, and a reader takes every
// reply as it comes, so that clamd never waits to send one (it drops a
// session whose replies are not read within half a second).
//
// The workers never touch the page: answered files wait here until the UI
// thread takes them (Deliver, on every tick of the page's refresh), and the
// end goes over in one hand-over, after the session's running gate, like
// the scanner's end.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/tcp_connection_win.h"
#include "framework/thread_win.h"
#include "scan/clamd_requests.h"
#include "scan/engine_run_win.h"
#include "scan/excluded_folders.h"
#include "scan/report_parser.h"
#include "scan/scanner_exit.h"

namespace tolvar {

class ClamdScan : public EngineRun {
public:
    // ended is called on the UI thread, once, when the scan ends by itself
    // (never after Stop), once runningGate is open.
    ClamdScan(ClamdAddress address, std::vector<std::string> targets, HANDLE runningGate,
              std::function<void(const ScannerEnding&)> ended);
    ~ClamdScan() override;
    ClamdScan(const ClamdScan&) = delete;
    ClamdScan& operator=(const ClamdScan&) = delete;

    // Starts the walker and the driver; the session's failures (no clamd
    // there) come through the end.
    std::string Start() override;
    // Pausing stops the sending; what is in flight is still answered.
    void Pause() override;
    void Resume() override;
    // Ends the scan at once: zEND when the connection is free to take it,
    // the connection closed, the workers joined. Nothing waits for clamd.
    void Stop() override;
    // Moves what was answered into the parser: counts, detections, the
    // file in the status line and the exact progress.
    void Deliver(ReportParser& parser) override;
    // Whether a worker still runs.
    bool Running() const override;
    // Waits for the workers; what one of them threw goes to report.
    void Join(const std::function<void(std::exception_ptr)>& report) override;

private:
    std::optional<ScannerEnding> Drive();
    void DriverBody(Thread& self);
    void WalkerBody();
    void ReaderBody(std::shared_ptr<TcpConnection> connection);
    // Opens a session; "" or why it could not be opened.
    std::string OpenSession();
    // Sends one file's request; false when the connection broke.
    bool SendRequest(const std::string& path, std::unique_lock<std::mutex>& lock);
    bool SendStream(TcpConnection& connection, HANDLE file, std::uint32_t id);
    void CloseConnection(bool sayEnd);
    std::string Where() const;

    const ClamdAddress address_;
    const bool streams_;  // a clamd on another computer gets the bytes
    const std::vector<std::string> targets_;
    // As stored when the scan began.
    const ExcludedFolders excluded_;
    const HANDLE runningGate_;
    const std::function<void(const ScannerEnding&)> ended_;
    const std::size_t limit_;

    std::unique_ptr<Thread> driver_;
    std::unique_ptr<Thread> walker_;
    std::unique_ptr<Thread> reader_;  // the driver's; one per connection

    std::atomic<bool> stop_{false};
    // Held for each whole request on the wire, so that Stop's zEND never
    // lands inside one.
    std::timed_mutex sending_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    // Everything below is guarded by mutex_.
    std::shared_ptr<TcpConnection> connection_;
    bool paused_ = false;
    // A pause came since the last request went: clamd ends a session that
    // sends nothing for its ReadTimeout, and that is no fault then.
    bool pausedSinceSend_ = false;
    bool readerEnded_ = false;
    std::string lostReason_;
    // clamd closes the connection after a stream over its size limit.
    bool closeExpected_ = false;
    bool walkDone_ = false;
    bool walkUnread_ = false;
    bool unread_ = false;
    std::deque<std::string> toSend_;
    ClamdRequestBook book_;
    std::vector<ClamdFileResult> answered_;
    std::uint64_t filesFound_ = 0;
    std::uint64_t filesAnswered_ = 0;
    ULONGLONG lastReply_ = 0;
};

}  // namespace tolvar
