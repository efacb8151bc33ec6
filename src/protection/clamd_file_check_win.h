#pragma once

// One file's verdict from a loaded clamd, on a connection of its own: the
// path for a clamd on this computer (zSCAN), the file's bytes for one
// elsewhere (zINSTREAM). Real-time protection asks this for each file that
// arrives; a scan of many files goes through a session instead.

#include <mutex>
#include <string>

#include "scan/clamd_protocol.h"

namespace tolvar {

struct FileVerdict {
    enum class Kind {
        Clean,     // nothing found, or the daemon's ExcludePath took it
        Found,     // detail: the signature's name
        Unread,    // the daemon or the program could not read it (detail: why)
        NoEngine,  // no answer: the daemon is not there or went (detail: why)
    };
    Kind kind = Kind::NoEngine;
    std::string detail;
};

class TcpConnection;

// Lets another thread end a check under way at once (the program ends while
// clamd reads a large file).
class ClamdCheckCancel {
public:
    void Cancel();

private:
    friend class ClamdCheckConnection;
    std::mutex mutex_;
    TcpConnection* connection_ = nullptr;
    bool cancelled_ = false;
};

// Waits at most timeoutMs for the verdict; a cancelled check ends at once
// as NoEngine.
FileVerdict CheckFileWithClamd(const ClamdAddress& address, const std::string& path, bool stream,
                               unsigned timeoutMs, ClamdCheckCancel& cancel);

}  // namespace tolvar
