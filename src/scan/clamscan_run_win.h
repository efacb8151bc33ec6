#pragma once

// A scan by clamscan: the scanner process with its two pipes, and the reader
// and waiter threads that hand its output and its end to the UI thread.

#include <functional>
#include <memory>
#include <string>

#include "core/handles_win.h"
#include "framework/thread_win.h"
#include "scan/engine_run_win.h"
#include "scan/scanner_exit.h"

namespace tolvar {

// The reader: hands each chunk of the scanner's output to the parser.
class TProcessor : public Thread {
public:
    using Thread::Thread;
};

// The waiter: hands the scanner's end over once its output is drained.
class TClientWaitThread : public Thread {
public:
    using Thread::Thread;
};

// Where clamscan.exe, its DLLs and ClamAV's updater belong: "bin\snr\1\9"
// in the program folder, with a closing backslash.
std::string ScannerFolder();

class ClamscanRun : public EngineRun {
public:
    // The workers pass runningGate before every read and every hand-over.
    // ended gets the scanner's end, judged from its exit code and report,
    // on the UI thread; never when stopRequested() says the session ends
    // the scan itself.
    ClamscanRun(ReportParser& parser, HANDLE runningGate, std::function<bool()> stopRequested,
                std::function<void(const ScannerEnding&)> ended);
    ~ClamscanRun() override;

    std::string Start() override;
    bool EndedWithin(DWORD timeoutMs) override;
    void AwaitEnd() override;
    void Stop() override;
    bool Running() const override { return static_cast<bool>(process_); }
    void Join(const std::function<void(std::exception_ptr)>& report) override;

private:
    // The file list that carries the folders to the scanner when their
    // names need it; "" when the command line can carry them.
    std::string WriteFileList();
    void ReaderBody(Thread& self, HANDLE pipe);
    void WaiterBody(Thread& self, HANDLE process, HANDLE reader);
    void ScannerExited(DWORD exitCode);
    void CloseScannerHandles();

    ReportParser& parser_;
    const HANDLE running_;
    const std::function<bool()> stopRequested_;
    const std::function<void(const ScannerEnding&)> ended_;

    UniqueHandle process_;
    UniqueHandle outputRead_;
    UniqueHandle inputWrite_;
    std::unique_ptr<TClientWaitThread> waiter_;
    std::unique_ptr<TProcessor> reader_;
    std::string pending_;
    std::string fileList_;
    UniqueHandle fileListHeld_;  // the list, held for the scanner's run
    // Why the report could not be read, when its hand-over failed.
    std::string readFailure_;
};

}  // namespace tolvar
