#pragma once

// The running program's end of the scan request pipe: other processes of
// the same user (TolvarScan.exe from Explorer's menu, a second start with
// /scan) hand it the files and folders to scan. Windows refuses a window
// message from a process of lower integrity to an elevated one, so a pipe
// whose access list admits the user alone (at any integrity, so Explorer's
// children reach it) carries the request. One instance, made with the
// first-instance flag: a pipe of that name another program made first is
// never served, and no one can add an instance of their own to ours.
//
// A worker thread serves one client at a time. Each path is checked
// (CheckRequestedPath) and must exist; the client hears how many were
// taken and why the others were not. What was taken waits here until the
// program takes it, so requests that come while it is still starting are
// kept too.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protection/scan_request.h"

namespace tolvar {

class ScanRequestPipe {
public:
    struct Arrival {
        // Full paths; a folder's ends with a backslash.
        std::vector<std::string> targets;
        std::vector<RequestedPath> refused;
        std::uint64_t tick = 0;  // GetTickCount64 as it came
    };

    // Makes the pipe and starts serving it; throws AppError when the pipe
    // cannot be made (another program holds its name).
    explicit ScanRequestPipe(const std::string& name = kScanRequestPipe);
    // Stops serving; a client in the middle of a request is let go.
    ~ScanRequestPipe();
    ScanRequestPipe(const ScanRequestPipe&) = delete;
    ScanRequestPipe& operator=(const ScanRequestPipe&) = delete;

    // What has come since the last call, oldest first.
    std::vector<Arrival> Take();
    // Called on the pipe's worker thread after each request that named
    // anything; it must only hand the news on (Application::post).
    void setOnArrival(std::function<void()> onArrival);

private:
    struct Worker;
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::function<void()> onArrival_;
    std::unique_ptr<Worker> worker_;
    void Deliver(Arrival arrival);
};

// The paths of a request checked (CheckRequestedPath, and each must be
// there), as the pipe takes them from a client; the program takes its own
// command line's the same way.
ScanRequestPipe::Arrival CheckScanRequest(const std::vector<std::string>& paths);

// The access list the pipe is made with, in the system's text form: the
// user who runs the program alone may connect, at medium integrity and up.
std::string ScanRequestPipeSecurity(const std::string& userSid);

}  // namespace tolvar
