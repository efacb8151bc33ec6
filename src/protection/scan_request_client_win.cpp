#include "protection/scan_request_client_win.h"

#include <windows.h>

#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "core/wide_text_win.h"

namespace tolvar {

namespace {

HandOver Failed(const std::string& why) {
    HandOver handOver;
    handOver.outcome = HandOver::Outcome::Failed;
    handOver.why = why;
    return handOver;
}

// Waits for an overlapped call for up to waitMs; false when it failed or
// the time ran out (the call is then cancelled).
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD waitMs, DWORD& bytes) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(overlapped.hEvent, waitMs) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &bytes, TRUE);
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &bytes, FALSE) != FALSE;
}

}  // namespace

HandOver HandScanRequestOver(const std::vector<std::string>& paths, unsigned long waitMs,
                             const std::string& pipeName) {
    const std::wstring name = Utf8ToWide(pipeName);
    const ULONGLONG until = GetTickCount64() + waitMs;
    UniqueHandle pipe;
    for (;;) {
        pipe.reset(CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe) break;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return HandOver{};
        const ULONGLONG now = GetTickCount64();
        if (error != ERROR_PIPE_BUSY || now >= until) {
            return Failed("the program's request pipe could not be opened: " +
                          SystemErrorText(error));
        }
        // Another request is being served: wait for the pipe to be free.
        if (!WaitNamedPipeW(name.c_str(), static_cast<DWORD>(until - now)) &&
            GetLastError() == ERROR_FILE_NOT_FOUND) {
            return HandOver{};
        }
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        return Failed("the program's request pipe could not be read: " +
                      SystemErrorText(GetLastError()));
    }
    // The program brings its window forward with the scan; a process that
    // Explorer just started may lend it that right.
    ULONG server = 0;
    if (GetNamedPipeServerProcessId(pipe.get(), &server)) AllowSetForegroundWindow(server);

    const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const std::string message = ScanRequestMessage(paths);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD bytes = 0;
    BOOL started = WriteFile(pipe.get(), message.data(), static_cast<DWORD>(message.size()),
                             nullptr, &overlapped);
    if (!Complete(pipe.get(), overlapped, started, 10000, bytes)) {
        return Failed("the request could not be sent: " + SystemErrorText(GetLastError()));
    }
    std::string replyText(64 * 1024, '\0');
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event.get();
    ResetEvent(event.get());
    started = ReadFile(pipe.get(), replyText.data(), static_cast<DWORD>(replyText.size()), nullptr,
                       &overlapped);
    if (!Complete(pipe.get(), overlapped, started, 10000, bytes) &&
        GetLastError() != ERROR_MORE_DATA) {
        return Failed("the program did not answer: " + SystemErrorText(GetLastError()));
    }
    replyText.resize(bytes);
    const std::optional<ScanRequestReply> reply = ReadScanRequestReply(replyText);
    if (!reply) return Failed("the program's answer could not be read");
    HandOver handOver;
    handOver.outcome = HandOver::Outcome::Delivered;
    handOver.reply = *reply;
    return handOver;
}

std::vector<std::string> FullPathsOf(const std::vector<std::string>& arguments) {
    std::vector<std::string> full;
    for (const std::string& argument : arguments) {
        const std::wstring wide = Utf8ToWide(argument);
        // A device or a long path is passed as given: the program refuses
        // or takes it as it is, never a form the system made of it.
        if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) {
            full.push_back(argument);
            continue;
        }
        const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        std::wstring path(size, L'\0');
        const DWORD length = size ? GetFullPathNameW(wide.c_str(), size, path.data(), nullptr) : 0;
        if (length == 0 || length >= size) {
            full.push_back(argument);
            continue;
        }
        path.resize(length);
        full.push_back(WideToUtf8(path));
    }
    return full;
}

}  // namespace tolvar
