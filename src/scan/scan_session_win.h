#pragma once

// A scan: the scanner process with its two pipes, the reader and waiter
// threads that hand its output and its end to the UI thread, the start, the
// stop and the end of a scan. Everything here except the thread bodies runs
// on the UI thread. What the scan shows goes to a ScanView, which window
// follows it to ScanOutcomes; the session knows no window.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "framework/thread_win.h"
#include "scan/find_file_lister.h"
#include "scan/report_parser.h"
#include "scan/scan_engine.h"
#include "scan/scan_view.h"

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

class ScanSession {
public:
    ScanSession(ScanView& view, ScanOutcomes& outcomes);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    ReportParser& Parser() { return parser_; }
    const ReportParser& Parser() const { return parser_; }

    // Starts a scan of the fixed drives when idle, resumes a paused one, and
    // lights the Start image in any case.
    void StartOrResumeScan();
    // Resets the display and counters and launches the scanner over the
    // given folders; the caller has shown the progress view.
    void BeginScan(std::vector<std::string> folders);
    // Ends a running scan at the user's or the program's request.
    void StopScan();
    // The scan page's commands.
    void PauseScan();
    void ResumeScan();
    void StopCommand();
    // The folder chooser's start: a paused scan is ended (and recorded as
    // stopped) first, so that two scanners never run at once.
    void StartChosenScan(std::vector<std::string> folders);
    // Ends whatever scanner still runs, without recording anything: for a
    // paused scan at shut-down.
    void Abandon();
    void TerminateScanner();

    // Brings the page up to date with what the parser has found; runs on
    // every tick of the page's refresh timer and once more when a scan ends.
    void RefreshDisplay();
    // The page after a removal run: its count in the status line, the
    // figures back at zero, and the detections that are still where they
    // were listed again for another try.
    void ShowRemovalOutcome(int removed, const std::vector<InfectionRecord>& left);
    // A word in the status line, between scans.
    void ShowStatus(const std::string& text);

    bool ScannerRunning() const { return static_cast<bool>(process_); }

    // The fixed drives to scan; tests replace it.
    std::function<std::vector<std::string>()> fixedDrives;
    // The engine a scan runs on, asked as each scan begins; clamscan when
    // unset.
    std::function<ScanEngineChoice()> chooseEngine;

private:
    // What the page shows now, so that a refresh calls the view only for
    // what changed.
    struct Shown {
        std::uint64_t lines = 0;
        std::int32_t items = 0;
        std::int32_t infections = 0;
        int rows = 0;
        std::optional<double> percent;
    };

    void RefreshFigures();
    void LaunchScanner();
    void StartScanner();
    // The file list that carries the folders to the scanner when their
    // names need it; "" when the command line can carry them.
    std::string WriteFileList();
    void ReaderBody(Thread& self, HANDLE pipe);
    void WaiterBody(Thread& self, HANDLE process, HANDLE reader);
    void ScannerExited(DWORD exitCode);
    // itemsUnread: the scan finished, but the scanner could not read some
    // items, and the status line says so.
    void EndScan(bool stopped, bool showResult = true, bool itemsUnread = false);
    // Ends the running scan as one that could not be done, telling why.
    void FailScan(const std::string& reason);
    // The end of a scan whose own end went wrong: never left "scanning".
    void EndAfterError(std::exception_ptr error);
    // Records the scan in the history; what goes wrong is reported later.
    void RecordScan();
    void CloseScannerHandles();
    void JoinWorkers();
    void ShowResult();
    // Reports an error from the message loop, after the hand-over that met
    // it has returned: a modal report inside one would keep its worker
    // waiting, and whoever waits for that worker next would hang.
    void ReportLater(std::exception_ptr error);

    ScanView& view_;
    ScanOutcomes& outcomes_;
    FindFileLister lister_;
    ReportParser parser_;
    Shown shown_;

    UniqueHandle process_;
    UniqueHandle outputRead_;
    UniqueHandle inputWrite_;
    std::unique_ptr<TClientWaitThread> waiter_;
    std::unique_ptr<TProcessor> reader_;
    bool stopRequested_ = false;
    std::string pending_;
    std::string fileList_;
    UniqueHandle fileListHeld_;  // the list, held for the scanner's run
    // Why the report could not be read, when its hand-over failed.
    std::string readFailure_;
    // Posted reports hold this weakly: one posted just before the session
    // went is dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Set while the workers may run: pausing closes this gate, which they
    // pass before every read and every hand-over.
    UniqueHandle running_;
};

// The roots of the fixed drives, "A:\" to "Z:\".
std::vector<std::string> FixedDriveRoots();

}  // namespace tolvar
