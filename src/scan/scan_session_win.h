#pragma once

// A scan: the scanner process with its two pipes, the reader and waiter
// threads that hand its output and its end to the UI thread, the start, the
// stop and the end of a scan. Everything here except the thread bodies runs
// on the UI thread.

#include <memory>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "framework/thread_win.h"
#include "scan/find_file_lister.h"
#include "scan/report_parser.h"

namespace tolvar {

class TForm1;

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

class ScanSession : private ScanDisplay {
public:
    explicit ScanSession(TForm1& form);
    ~ScanSession() override;
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    ReportParser& Parser() { return parser_; }

    // The Start Scan command: start or resume, then no update check this run.
    void StartScanCommand();
    void StartOrResumeScan();
    // Resets the display and counters and launches the scanner over the
    // folder list the caller has set.
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

    // The lit command image: the slot of the command last given.
    int LitSlot() const { return litSlot_; }
    void MoveLitImage(int slot);

    bool ScannerRunning() const { return static_cast<bool>(process_); }
    // The scanner's last "ERROR:" line, for the report of a failed scan.
    const std::string& LastError() const { return lastError_; }

    // The fixed drives to scan; tests replace it.
    std::function<std::vector<std::string>()> fixedDrives;

private:
    // The display of the parser: the scan page's labels, list and bar.
    void SetStatusText(const std::string& text) override;
    void SetPercentText(const std::string& text) override;
    void SetInfectionsText(const std::string& text) override;
    void SetItemsText(const std::string& text) override;
    void AddInfectionItem(const std::string& virusName) override;
    void SetProgress(int value) override;

    void LaunchScanner();
    void ReaderBody(Thread& self, HANDLE pipe);
    void WaiterBody(Thread& self, HANDLE process, HANDLE reader);
    void ScannerExited(DWORD exitCode);
    void EndScan(bool stopped, bool showResult = true);
    void CloseScannerHandles();
    void JoinWorkers();
    void ShowResult();

    TForm1& form_;
    FindFileLister lister_;
    ReportParser parser_;

    UniqueHandle process_;
    UniqueHandle outputRead_;
    UniqueHandle inputWrite_;
    std::unique_ptr<TClientWaitThread> waiter_;
    std::unique_ptr<TProcessor> reader_;
    bool stopRequested_ = false;
    bool launchFailed_ = false;
    DWORD exitCode_ = 0;
    std::string pending_;
    std::string lastError_;
    // Set while the workers may run: pausing closes this gate, which they
    // pass before every read and every hand-over.
    UniqueHandle running_;
    int litSlot_ = 0;
};

// The roots of the fixed drives, "A:\" to "Z:\".
std::vector<std::string> FixedDriveRoots();

}  // namespace tolvar
