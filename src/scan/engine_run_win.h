#pragma once

// One scan's engine as the scan session drives it: clamscan as a child
// process (ClamscanRun) or a session with clamd (ClamdScan). The session
// keeps the page, the state and the record; the engine produces what the
// parser counts and hands its end over to the UI thread once, after the
// session's running gate, through the callback it was made with.

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "scan/report_parser.h"

namespace tolvar {

class EngineRun {
public:
    virtual ~EngineRun() = default;

    // Starts the engine: "" when it runs, else why the scan cannot be done;
    // throws when something unforeseen went wrong.
    virtual std::string Start() = 0;
    // The session closes its running gate as well; these are for what the
    // gate cannot hold (requests still to be sent).
    virtual void Pause() {}
    virtual void Resume() {}
    // Waits up to timeoutMs for the engine to end by itself; true when it
    // has, its end then still to be handed over (AwaitEnd).
    virtual bool EndedWithin(DWORD /*timeoutMs*/) { return false; }
    virtual void AwaitEnd() {}
    // Ends the engine at once, without waiting for it.
    virtual void Stop() = 0;
    // Moves what the engine has produced into the parser (UI thread).
    virtual void Deliver(ReportParser& /*parser*/) {}
    // Whether the engine still runs (a process, a worker).
    virtual bool Running() const = 0;
    // Waits for the workers; what one of them threw goes to report.
    virtual void Join(const std::function<void(std::exception_ptr)>& report) = 0;
};

}  // namespace tolvar
