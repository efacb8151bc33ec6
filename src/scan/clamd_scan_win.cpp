#include "scan/clamd_scan_win.h"

#include <chrono>
#include <cstring>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "scan/tree_lister_win.h"

namespace tolvar {

namespace {

constexpr ULONGLONG kConnectTimeoutMs = 10000;
// The walk runs ahead of the answers by at most this many files: enough for
// a progress that tells, without holding the paths of a whole disk.
constexpr std::size_t kWalkAhead = 50000;
// A connection is tried in slices of this, so that a Stop never waits for
// a server that does not answer.
constexpr unsigned kConnectSliceMs = 500;
constexpr DWORD kStreamChunk = 64 * 1024;
// clamd gives up on a file itself after its MaxScanTime (two minutes by
// default); a daemon silent for far longer with files in flight is stuck.
constexpr ULONGLONG kSilenceLimitMs = 10 * 60 * 1000;
// After a request could not be sent, the reader gets this long to read what
// clamd said before it closed (the size limit's reply, say).
constexpr auto kLastWordsWait = std::chrono::seconds(5);
// Stop waits this long at most for a request being sent to be whole, so
// that its zEND is a command of its own.
constexpr auto kStopSendWait = std::chrono::milliseconds(200);

unsigned Processors() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

ScannerEnding Failed(std::string reason) {
    return ScannerEnding{true, std::move(reason), false};
}

}  // namespace

ClamdScan::ClamdScan(ClamdAddress address, std::vector<std::string> targets, HANDLE runningGate,
                     std::function<void(const ScannerEnding&)> ended)
    : address_(std::move(address)),
      streams_(!IsLocalHost(address_.host)),
      targets_(std::move(targets)),
      excluded_(LoadExcludedFolders()),
      runningGate_(runningGate),
      ended_(std::move(ended)),
      limit_(ClamdRequestsInFlight(Processors())) {}

ClamdScan::~ClamdScan() {
    Stop();
    Join([](std::exception_ptr) {});
}

std::string ClamdScan::Where() const {
    return "clamd at " + ClamdAddressText(address_);
}

std::string ClamdScan::Start() {
    walker_ = std::make_unique<Thread>([this](Thread&) { WalkerBody(); });
    driver_ = std::make_unique<Thread>([this](Thread& self) { DriverBody(self); });
    walker_->start();
    driver_->start();
    return "";
}

void ClamdScan::Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
    pausedSinceSend_ = true;
}

void ClamdScan::Resume() {
    {
        std::lock_guard lock(mutex_);
        paused_ = false;
        lastReply_ = GetTickCount64();
    }
    changed_.notify_all();
}

void ClamdScan::Stop() {
    // The send lock is taken before the stop is told: the driver, once it
    // sees the stop, closes the connection under the same lock, so zEND goes
    // out before the close and no request follows it.
    const bool mayAddEnd = sending_.try_lock_for(kStopSendWait);
    std::shared_ptr<TcpConnection> connection;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        connection = connection_;
    }
    // clamd drops the session's queued jobs at once on zEND instead of
    // scanning on for nobody.
    if (mayAddEnd) {
        if (connection) connection->SendAll(ClamdCommand("END"));
        sending_.unlock();
    }
    changed_.notify_all();
    if (connection) connection->Interrupt();
}

bool ClamdScan::Running() const {
    return (driver_ && !driver_->finished()) || (walker_ && !walker_->finished());
}

void ClamdScan::Join(const std::function<void(std::exception_ptr)>& report) {
    for (Thread* worker : {driver_.get(), walker_.get()}) {
        if (!worker) continue;
        worker->waitFor();
        if (worker->error()) report(worker->error());
    }
    driver_.reset();
    walker_.reset();
}

void ClamdScan::Deliver(ReportParser& parser) {
    std::vector<ClamdFileResult> taken;
    std::uint64_t answered = 0;
    std::uint64_t found = 0;
    {
        std::lock_guard lock(mutex_);
        taken.swap(answered_);
        answered = filesAnswered_;
        found = filesFound_;
    }
    for (const ClamdFileResult& result : taken) {
        switch (result.kind) {
            case ClamdFileResult::Kind::Clean:
                parser.FileClean(result.path);
                break;
            case ClamdFileResult::Kind::Found:
                parser.FileFound(result.path, result.detail);
                break;
            case ClamdFileResult::Kind::Unread:
            case ClamdFileResult::Kind::Excluded:
                parser.FileAnswered(result.path);
                break;
        }
    }
    parser.SetExactProgress(answered, found);
}

void ClamdScan::WalkerBody() {
    TargetWalk walk;
    walk.file = [this](std::string path) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return toSend_.size() < kWalkAhead || stop_; });
            toSend_.push_back(std::move(path));
            ++filesFound_;
        }
        changed_.notify_all();
    };
    walk.stopping = [this] { return stop_.load(); };
    walk.excluded = [this](const std::string& path) { return excluded_.Covers(path); };
    bool allRead = false;
    try {
        FindTreeLister lister;
        allRead = WalkTargets(targets_, lister, walk);
    } catch (...) {
        // The driver must not wait for a walk that is over.
        {
            std::lock_guard lock(mutex_);
            walkDone_ = true;
            walkUnread_ = true;
        }
        changed_.notify_all();
        throw;
    }
    {
        std::lock_guard lock(mutex_);
        walkDone_ = true;
        walkUnread_ = !allRead;
    }
    changed_.notify_all();
}

void ClamdScan::DriverBody(Thread& self) {
    std::optional<ScannerEnding> ending;
    try {
        ending = Drive();
    } catch (...) {
        ending = Failed("The scan through " + Where() +
                        " went wrong: " + ErrorText(std::current_exception()));
    }
    bool stopped = false;
    {
        // Under the lock, so that a walker about to wait sees it.
        std::lock_guard lock(mutex_);
        stopped = stop_.exchange(true);  // the walk ends with the scan
    }
    changed_.notify_all();
    CloseConnection(false);
    if (stopped || !ending) return;  // Stop ends the scan itself
    WaitForSingleObject(runningGate_, INFINITE);
    self.synchronize([this, &ending] { ended_(*ending); });
}

std::string ClamdScan::OpenSession() {
    std::string error;
    std::optional<TcpConnection> opened;
    const ULONGLONG deadline = GetTickCount64() + kConnectTimeoutMs;
    for (;;) {
        const ULONGLONG start = GetTickCount64();
        opened = TcpConnection::Connect(address_.host, address_.port, kConnectSliceMs, error);
        // A refusal comes at once and is final; only a slice that ran out
        // is tried again.
        const bool ranOut = GetTickCount64() - start + 50 >= kConnectSliceMs;
        if (opened || !ranOut || stop_ || GetTickCount64() >= deadline) break;
    }
    if (!opened) return stop_ ? "the scan was stopped" : error;
    auto connection = std::make_shared<TcpConnection>(std::move(*opened));
    if (!connection->SendAll(ClamdCommand("IDSESSION"))) return connection->LastError();
    {
        std::lock_guard lock(mutex_);
        book_.NewSession();  // nothing is unanswered here: numbers restart
        connection_ = connection;
        readerEnded_ = false;
        lostReason_.clear();
        lastReply_ = GetTickCount64();
    }
    reader_ = std::make_unique<Thread>([this, connection](Thread&) { ReaderBody(connection); });
    reader_->start();
    return "";
}

std::optional<ScannerEnding> ClamdScan::Drive() {
    if (const std::string why = OpenSession(); !why.empty()) {
        return Failed(Where() + " could not be reached: " + why);
    }
    std::unique_lock lock(mutex_);
    const auto canSend = [this] {
        return !paused_ && !toSend_.empty() && book_.InFlight() < limit_;
    };
    const auto allDone = [this] { return walkDone_ && toSend_.empty() && book_.InFlight() == 0; };
    for (;;) {
        changed_.wait_for(lock, std::chrono::seconds(1),
                          [&] { return stop_ || readerEnded_ || allDone() || canSend(); });
        if (stop_) return std::nullopt;
        if (readerEnded_) {
            const std::shared_ptr<TcpConnection> gone = std::move(connection_);
            readerEnded_ = false;
            lock.unlock();
            if (reader_) reader_->waitFor();
            reader_.reset();
            lock.lock();
            // clamd ends a session after its size limit's reply, and after
            // its ReadTimeout when a pause sent nothing: the unanswered
            // files go again in a new session. Anything else lost them.
            const bool excused = closeExpected_ || pausedSinceSend_ || paused_;
            closeExpected_ = false;
            if (book_.InFlight() > 0 && !excused) {
                return Failed("The scan through " + Where() + " broke off with " +
                              std::to_string(book_.InFlight()) +
                              " file(s) unanswered: " + lostReason_ + ".");
            }
            std::vector<std::string> again = book_.NewSession();
            toSend_.insert(toSend_.begin(), std::make_move_iterator(again.begin()),
                           std::make_move_iterator(again.end()));
            continue;
        }
        if (allDone()) {
            const bool unread = unread_ || walkUnread_;
            lock.unlock();
            CloseConnection(true);
            return ScannerEnding{false, "", unread};
        }
        if (book_.InFlight() > 0 && !paused_ && GetTickCount64() - lastReply_ > kSilenceLimitMs) {
            return Failed("The scan through " + Where() +
                          " broke off: clamd answered nothing for " +
                          std::to_string(kSilenceLimitMs / 60000) + " minutes.");
        }
        if (!canSend()) continue;
        if (!connection_) {
            lock.unlock();
            const std::string why = OpenSession();
            lock.lock();
            if (!why.empty()) {
                return Failed("The scan through " + Where() +
                              " broke off: no new session could be opened: " + why);
            }
            continue;
        }
        std::string path = std::move(toSend_.front());
        toSend_.pop_front();
        if (toSend_.size() + 1 == kWalkAhead) changed_.notify_all();
        if (!SendRequest(path, lock)) {
            if (stop_) return std::nullopt;
            // The reader hears how the connection ended, with whatever
            // clamd said last.
            if (!changed_.wait_for(lock, kLastWordsWait,
                                   [this] { return readerEnded_ || stop_.load(); }) &&
                connection_) {
                const std::shared_ptr<TcpConnection> broken = connection_;
                lock.unlock();
                broken->Interrupt();
                lock.lock();
            }
        }
    }
}

bool ClamdScan::SendRequest(const std::string& path, std::unique_lock<std::mutex>& lock) {
    const std::shared_ptr<TcpConnection> connection = connection_;
    UniqueHandle file;
    if (streams_) {
        // The server cannot open this computer's paths: it gets the bytes.
        lock.unlock();
        file.reset(CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        const DWORD error = GetLastError();
        lock.lock();
        if (!file) {
            answered_.push_back({path, ClamdFileResult::Kind::Unread, SystemErrorText(error)});
            unread_ = true;
            ++filesAnswered_;
            return true;
        }
    }
    if (book_.InFlight() == 0) lastReply_ = GetTickCount64();
    const std::uint32_t id = book_.Sent(path);
    pausedSinceSend_ = false;
    lock.unlock();
    bool sent = false;
    {
        std::lock_guard whole(sending_);
        // A Stop may have said zEND while this waited for the lock.
        if (!stop_) {
            sent = streams_ ? SendStream(*connection, file.get(), id)
                            : connection->SendAll(ClamdCommand("SCAN", path));
        }
    }
    lock.lock();
    return sent;
}

bool ClamdScan::SendStream(TcpConnection& connection, HANDLE file, std::uint32_t id) {
    if (!connection.SendAll(ClamdCommand("INSTREAM"))) return false;
    std::vector<char> buffer(4 + kStreamChunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data() + 4, kStreamChunk, &got, nullptr)) {
            // A verdict on part of a file would be no verdict on it.
            const std::string why = SystemErrorText(GetLastError());
            std::lock_guard lock(mutex_);
            if (std::optional<ClamdFileResult> result = book_.Abandon(id, why)) {
                answered_.push_back(std::move(*result));
                unread_ = true;
                ++filesAnswered_;
            }
            break;
        }
        if (got == 0) break;
        const std::array<char, 4> length = InstreamChunkLength(got);
        std::memcpy(buffer.data(), length.data(), length.size());
        if (!connection.SendAll(std::string_view(buffer.data(), 4 + got))) return false;
        if (stop_) return false;
    }
    const std::array<char, 4> end = InstreamChunkLength(0);
    return connection.SendAll(std::string_view(end.data(), end.size()));
}

void ClamdScan::ReaderBody(std::shared_ptr<TcpConnection> connection) {
    std::string pending;
    std::string lastWords;  // a reply without a number: clamd's own complaint
    for (;;) {
        const TcpConnection::Received got = connection->Receive(pending, INFINITE);
        if (got != TcpConnection::Received::Data) {
            {
                std::lock_guard lock(mutex_);
                lostReason_ = got == TcpConnection::Received::Closed ? "clamd closed the connection"
                                                                     : connection->LastError();
                if (!lastWords.empty()) lostReason_ += " after saying \"" + lastWords + "\"";
                readerEnded_ = true;
            }
            changed_.notify_all();
            return;
        }
        {
            std::lock_guard lock(mutex_);
            lastReply_ = GetTickCount64();
            ForEachClamdReply(pending, [&](std::string_view text) {
                const ClamdReply reply = ParseClamdReply(text);
                if (!reply.id) {
                    lastWords.assign(text.substr(0, 200));
                    return;
                }
                if (reply.verdict == ClamdVerdict::Error &&
                    reply.detail.find("size limit exceeded") != std::string::npos) {
                    closeExpected_ = true;
                }
                if (std::optional<ClamdFileResult> result = book_.Answer(reply)) {
                    if (result->kind == ClamdFileResult::Kind::Unread) unread_ = true;
                    ++filesAnswered_;
                    answered_.push_back(std::move(*result));
                }
            });
        }
        changed_.notify_all();
    }
}

void ClamdScan::CloseConnection(bool sayEnd) {
    std::shared_ptr<TcpConnection> connection;
    {
        std::lock_guard lock(mutex_);
        connection = connection_;
    }
    if (connection) {
        std::lock_guard whole(sending_);
        if (sayEnd) connection->SendAll(ClamdCommand("END"));
        connection->Interrupt();
    }
    if (reader_) reader_->waitFor();
    reader_.reset();
    std::lock_guard lock(mutex_);
    connection_.reset();
    readerEnded_ = false;
}

}  // namespace tolvar
