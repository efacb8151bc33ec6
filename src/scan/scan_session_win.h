#pragma once

// A scan: the start, the stop and the end of a scan, on the engine chosen
// as it begins: clamscan as a child process (ClamscanRun) or a session with
// clamd (ClamdScan). Everything here runs on the UI thread. What the scan shows goes to a ScanView,
// which window follows it to ScanOutcomes; the session knows no window.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "scan/clamscan_run_win.h"
#include "scan/engine_run_win.h"
#include "scan/find_file_lister.h"
#include "scan/report_parser.h"
#include "scan/scan_engine.h"
#include "scan/scan_view.h"

namespace tolvar {

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
    // Words that follow the scanned item in the status line for as long as
    // they are set (a request waiting for this scan to end); "" for none.
    void SetStatusNote(std::string note);
    // Whether the last scan to end was stopped rather than finished.
    bool LastScanStopped() const { return lastStopped_; }

    // Whether a scanner process or a clamd scan's worker still runs.
    bool ScannerRunning() const;

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
    // Starts the chosen engine for the scan begun.
    void LaunchEngine(const ScanEngineChoice& engine);
    // The engine's own end, handed over on the UI thread.
    void EngineEnded(const ScannerEnding& ending);
    // Notes which engine scans, for whoever asks after the scan.
    void RecordEngine(const std::string& name);
    // itemsUnread: the scan finished, but the scanner could not read some
    // items, and the status line says so.
    void EndScan(bool stopped, bool showResult = true, bool itemsUnread = false);
    // Ends the running scan as one that could not be done, telling why.
    void FailScan(const std::string& reason);
    // The end of a scan whose own end went wrong: never left "scanning".
    void EndAfterError(std::exception_ptr error);
    // Records the scan in the history; what goes wrong is reported later.
    void RecordScan();
    // Joins the engine's workers, takes in what it produced last and lets
    // it go.
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

    // The engine of the running scan, or of the last one until the next
    // begins.
    std::unique_ptr<EngineRun> run_;
    bool stopRequested_ = false;
    bool lastStopped_ = false;
    std::string statusNote_;
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
