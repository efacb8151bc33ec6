#include "protection/scan_request_pipe_win.h"

#include <windows.h>

#include <sddl.h>

#include "core/app_error.h"
#include "core/folder_protection_win.h"
#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "core/wide_text_win.h"
#include "framework/thread_win.h"

namespace tolvar {

namespace {

// A client that connects and then says nothing is let go after this long,
// so it cannot hold back the requests behind it.
constexpr DWORD kClientPatienceMs = 5000;
constexpr DWORD kPipeBuffer = 64 * 1024;

// The path as a wide one the system's calls take at any length.
std::wstring SystemPath(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    if (wide.size() < MAX_PATH - 12) return wide;
    if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

}  // namespace

std::string ScanRequestPipeSecurity(const std::string& userSid) {
    // Objects an elevated program makes carry its high integrity, which a
    // client at medium (anything Explorer starts) could not write to: the
    // label says medium.
    return "D:P(A;;GRGW;;;" + userSid + ")S:(ML;;NW;;;ME)";
}

ScanRequestPipe::Arrival CheckScanRequest(const std::vector<std::string>& paths) {
    ScanRequestPipe::Arrival arrival;
    for (const std::string& path : paths) {
        RequestedPath checked = CheckRequestedPath(path);
        if (checked.refusal.empty()) {
            const DWORD attributes = GetFileAttributesW(SystemPath(checked.path).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                checked.refusal = "the file or folder is not there";
            } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && checked.path.back() != '\\') {
                checked.path += '\\';
            }
        }
        if (checked.refusal.empty()) {
            arrival.targets.push_back(checked.path);
        } else {
            // Told as the sender wrote it.
            arrival.refused.push_back({path, checked.refusal});
        }
    }
    arrival.tick = GetTickCount64();
    return arrival;
}

struct ScanRequestPipe::Worker {
    UniqueHandle pipe;
    UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle io{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::unique_ptr<Thread> thread;

    // Waits for an overlapped call on the pipe; false when the program
    // stops, the wait runs out or the call failed.
    bool Finish(OVERLAPPED& overlapped, BOOL started, DWORD waitMs, DWORD& bytes) {
        if (!started) {
            const DWORD error = GetLastError();
            if (error == ERROR_MORE_DATA) {
                GetOverlappedResult(pipe.get(), &overlapped, &bytes, FALSE);
                SetLastError(ERROR_MORE_DATA);
                return true;
            }
            if (error != ERROR_IO_PENDING) return false;
        }
        const HANDLE waits[] = {stop.get(), io.get()};
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, waitMs);
        if (woke != WAIT_OBJECT_0 + 1) {
            CancelIo(pipe.get());
            GetOverlappedResult(pipe.get(), &overlapped, &bytes, TRUE);
            return false;
        }
        SetLastError(ERROR_SUCCESS);
        if (!GetOverlappedResult(pipe.get(), &overlapped, &bytes, FALSE)) {
            return GetLastError() == ERROR_MORE_DATA;
        }
        return true;
    }

    OVERLAPPED Fresh() {
        OVERLAPPED overlapped{};
        ResetEvent(io.get());
        overlapped.hEvent = io.get();
        return overlapped;
    }

    bool Connect() {
        OVERLAPPED overlapped = Fresh();
        if (ConnectNamedPipe(pipe.get(), &overlapped)) return true;
        if (GetLastError() == ERROR_PIPE_CONNECTED) return true;
        DWORD bytes = 0;
        return Finish(overlapped, FALSE, INFINITE, bytes);
    }

    // One message, whole; nothing when it is too long or never comes.
    std::optional<std::string> ReadMessage() {
        std::string message;
        char buffer[16 * 1024];
        for (;;) {
            OVERLAPPED overlapped = Fresh();
            DWORD bytes = 0;
            const BOOL started = ReadFile(pipe.get(), buffer, sizeof buffer, nullptr, &overlapped);
            if (!Finish(overlapped, started, kClientPatienceMs, bytes)) return std::nullopt;
            const bool more = GetLastError() == ERROR_MORE_DATA;
            message.append(buffer, bytes);
            if (message.size() > kLongestScanRequest) return std::nullopt;
            if (!more) return message;
        }
    }

    void Write(const std::string& text) {
        OVERLAPPED overlapped = Fresh();
        DWORD bytes = 0;
        const BOOL started = WriteFile(pipe.get(), text.data(), static_cast<DWORD>(text.size()),
                                       nullptr, &overlapped);
        if (!Finish(overlapped, started, kClientPatienceMs, bytes)) return;
        // The reply is read before the pipe is let go: the client closes it
        // once it has, and a disconnect before that would drop the reply.
        char none;
        overlapped = Fresh();
        const BOOL read = ReadFile(pipe.get(), &none, 1, nullptr, &overlapped);
        Finish(overlapped, read, kClientPatienceMs, bytes);
    }
};

ScanRequestPipe::ScanRequestPipe(const std::string& name) : worker_(std::make_unique<Worker>()) {
    const std::wstring security = Utf8ToWide(ScanRequestPipeSecurity(CurrentUserSid()));
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (CurrentUserSid().empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                        security.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
        throw AppError("The scan request pipe's access list could not be made: " +
                       SystemErrorText(GetLastError()));
    }
    const LocalMemory descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    worker_->pipe.reset(CreateNamedPipeW(
        Utf8ToWide(name).c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        kPipeBuffer, kPipeBuffer, 0, &attributes));
    if (!worker_->pipe) {
        throw AppError("The scan request pipe could not be made: " +
                       SystemErrorText(GetLastError()));
    }
    worker_->thread = std::make_unique<Thread>([this](Thread&) {
        Worker& w = *worker_;
        while (WaitForSingleObject(w.stop.get(), 0) != WAIT_OBJECT_0) {
            if (!w.Connect()) {
                if (WaitForSingleObject(w.stop.get(), 0) == WAIT_OBJECT_0) break;
                DisconnectNamedPipe(w.pipe.get());
                continue;
            }
            ScanRequestReply reply;
            const std::optional<std::string> message = w.ReadMessage();
            const auto paths = message ? ReadScanRequestMessage(*message) : std::nullopt;
            if (paths) {
                Arrival arrival = CheckScanRequest(*paths);
                reply.taken = arrival.targets.size();
                reply.refused = arrival.refused;
                Deliver(std::move(arrival));
                w.Write(ScanRequestReplyText(reply));
            } else if (message) {
                reply.refused.push_back({"", "the message is no scan request"});
                w.Write(ScanRequestReplyText(reply));
            }
            DisconnectNamedPipe(w.pipe.get());
        }
    });
    worker_->thread->start();
}

ScanRequestPipe::~ScanRequestPipe() {
    SetEvent(worker_->stop.get());
    worker_->thread->waitFor();
}

void ScanRequestPipe::Deliver(Arrival arrival) {
    std::function<void()> tell;
    {
        const std::lock_guard lock(mutex_);
        arrivals_.push_back(std::move(arrival));
        tell = onArrival_;
    }
    if (tell) tell();
}

std::vector<ScanRequestPipe::Arrival> ScanRequestPipe::Take() {
    const std::lock_guard lock(mutex_);
    std::vector<Arrival> taken;
    taken.swap(arrivals_);
    return taken;
}

void ScanRequestPipe::setOnArrival(std::function<void()> onArrival) {
    const std::lock_guard lock(mutex_);
    onArrival_ = std::move(onArrival);
}

}  // namespace tolvar
