#pragma once

// How a database file travels from the mirror to the disk. The download job
// takes the transport it is given, so its run can be driven without a
// network, and the system's own transfer stays a Windows detail.

#include <functional>
#include <string>

#include "updates/download_outcome.h"

namespace tolvar {

// The user's proxy from the update settings; use is false for a direct
// connection (the system's connection settings apply then).
struct ProxySettings {
    bool use = false;
    std::string server;  // host name or address
    std::string port;
    std::string user;
    std::string password;
};

// Called on the transferring thread with the bytes done and expected (0
// when the mirror did not say); false stops the transfer.
using ProgressFn = std::function<bool(unsigned long done, unsigned long expected)>;

class DatabaseTransport {
public:
    virtual ~DatabaseTransport() = default;

    // One blocking transfer of url into file, on the calling (worker)
    // thread. The outcome tells whether the transfer facility was there, the
    // result, the mirror's status and Retry-After and the size it announced;
    // its file fields are the caller's to fill. What the progress function
    // throws comes out here, after the transfer has stopped.
    virtual TransferOutcome Fetch(const std::string& url, const std::string& file,
                                  const ProxySettings& proxy, const ProgressFn& progress) = 0;
};

}  // namespace tolvar
