#include "scan/scan_session_win.h"

#include <windows.h>

#include "core/app_error.h"
#include "core/code_pages.h"
#include "core/folders.h"
#include "core/named_file_win.h"
#include "core/registry_win.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "scan/clamd_scan_win.h"
#include "scan/scan_state.h"
#include "scan/scanner_exit.h"
#include "updates/database_files.h"

namespace tolvar {

namespace {

char UserDecimalSeparator() {
    char text[8] = ".";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof text);
    return text[0] ? text[0] : '.';
}

// The program's own folders, whose detections are copies and signatures
// kept on purpose: as named, and as the file system finally reaches them,
// which is how the scanner reports what lies in them.
std::vector<std::string> OwnFolders() {
    const ProgramFolders& folders = Folders();
    std::vector<std::string> own;
    for (const std::string& folder :
         {folders.DataFolder + kVaultFolderName, folders.DatabaseFolder}) {
        own.push_back(folder);
        own.push_back(ResolvedPath(folder));
    }
    return own;
}

}  // namespace

std::vector<std::string> FixedDriveRoots() {
    std::vector<std::string> roots;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
    }
    return roots;
}

ScanSession::ScanSession(ScanView& view, ScanOutcomes& outcomes)
    : fixedDrives(&FixedDriveRoots),
      view_(view),
      outcomes_(outcomes),
      parser_(lister_),
      running_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    if (!running_) throw AppError("Cannot create the scan's event");
    parser_.SetDecimalSeparator(UserDecimalSeparator());
    parser_.SetReportCodePage(SystemCodePages().oem);
}

ScanSession::~ScanSession() {
    try {
        Abandon();
    } catch (...) {
        // Destructors stay quiet; the threads are joined below in any case.
    }
    JoinWorkers();
}

void ScanSession::StartOrResumeScan() {
    if (ScanIsIdle()) {
        ScanState = scan_state::kScanning;
        std::vector<std::string> drives = fixedDrives();
        view_.ShowProgressView();
        // Lights the Start image itself, and a scan that failed at once
        // leaves Stop lit.
        BeginScan(std::move(drives));
        return;
    }
    if (ScanIsPaused()) {
        ScanState = scan_state::kScanning;
        if (run_) run_->Resume();
        SetEvent(running_.get());
    }
    view_.LightCommand(ScanCommand::Start);
}

void ScanSession::BeginScan(std::vector<std::string> folders) {
    // The engine of the scan before is joined before anything of it could
    // reach this one's figures.
    JoinWorkers();
    outcomes_.NewScanBegins();
    view_.StartRefreshTimer([this] { RefreshDisplay(); });
    view_.ShowProgressBar(0);
    // Whatever command was lit before (Stop, say) goes dark.
    view_.LightCommand(ScanCommand::Start);

    ScanState = scan_state::kScanning;
    view_.ShowItemsScanned(0);
    view_.ShowInfectionsFound(0);
    view_.ShowStatus("Preparing to Scan ...");

    view_.ClearInfectionRows();
    const bool nothingToScan = folders.empty();
    parser_.BeginScan(std::move(folders));
    parser_.SetOwnFolders(OwnFolders());
    // The percentage label keeps its text until the parser has one.
    shown_ = Shown{};

    // Without a folder the scanner would scan its working folder, and that
    // would read as a scan of the drives.
    if (nothingToScan) {
        FailScan(NoFixedDriveReason());
        return;
    }
    const ScanEngineChoice engine = chooseEngine ? chooseEngine() : ScanEngineChoice{};
    RecordEngine(engine.name);
    LaunchEngine(engine);
}

void ScanSession::RecordEngine(const std::string& name) {
    try {
        RegistryKey("engine").WriteText(name, "LastScanEngine");
    } catch (...) {
        // The scan goes on; the user hears why the note is missing.
        ReportLater(std::current_exception());
    }
}

bool ScanSession::ScannerRunning() const {
    return run_ && run_->Running();
}

void ScanSession::RefreshDisplay() {
    if (run_) run_->Deliver(parser_);
    if (parser_.LinesParsed() != shown_.lines) {
        shown_.lines = parser_.LinesParsed();
        view_.ShowStatus(parser_.StatusText() + statusNote_);
    }
    RefreshFigures();
}

void ScanSession::RefreshFigures() {
    if (parser_.ItemsScanned() != shown_.items) {
        shown_.items = parser_.ItemsScanned();
        view_.ShowItemsScanned(shown_.items);
    }
    const InfectionTable& table = parser_.Table();
    for (; shown_.rows < parser_.StoredInfections(); ++shown_.rows) {
        view_.AddInfectionRow(table[static_cast<std::size_t>(shown_.rows)]);
    }
    if (parser_.InfectionCount() != shown_.infections) {
        shown_.infections = parser_.InfectionCount();
        view_.ShowInfectionsFound(shown_.infections);
    }
    if (parser_.Percent() != shown_.percent) {
        shown_.percent = parser_.Percent();
        view_.ShowPercent(parser_.PercentLabel());
        view_.ShowProgressBar(parser_.ProgressValue());
    }
}

void ScanSession::LaunchEngine(const ScanEngineChoice& engine) {
    // An engine of an earlier scan is gone by now; its threads are joined
    // before new ones take their place.
    JoinWorkers();
    stopRequested_ = false;
    SetEvent(running_.get());
    const auto ended = [this](const ScannerEnding& ending) { EngineEnded(ending); };
    // Nothing that goes wrong here may leave the scan "scanning" with no
    // engine to end it.
    try {
        if (engine.clamd) {
            run_ = std::make_unique<ClamdScan>(*engine.clamd, parser_.FolderList(), running_.get(),
                                               ended);
        } else {
            RemoveStaleDownloads();
            run_ = std::make_unique<ClamscanRun>(
                parser_, running_.get(), [this] { return stopRequested_; }, ended);
        }
        const std::string failed = run_->Start();
        if (!failed.empty()) FailScan(failed);
    } catch (...) {
        if (run_) run_->Stop();
        JoinWorkers();
        FailScan((engine.clamd ? "The scan through clamd could not be started: "
                               : "The scanner could not be started: ") +
                 ErrorText(std::current_exception()));
    }
}

void ScanSession::EngineEnded(const ScannerEnding& ending) {
    if (stopRequested_) return;  // StopScan ends this scan itself
    try {
        if (run_) run_->Deliver(parser_);
        if (ending.failed) {
            FailScan(ending.reason);
        } else {
            EndScan(false, true, ending.itemsUnread);
        }
    } catch (...) {
        EndAfterError(std::current_exception());
    }
}

void ScanSession::EndScan(bool stopped, bool showResult, bool itemsUnread) {
    lastStopped_ = stopped;
    // The last chunks arrived after the last tick: the figures that stay on
    // the page, and that the history records, are the exact ones.
    if (stopped) {
        RefreshFigures();
    } else {
        RefreshDisplay();
        view_.ShowStatus(itemsUnread ? "Scanning Complete (some items could not be read)"
                                     : "Scanning Complete");
        view_.ShowPercent("100%");
        view_.ShowProgressBar(100);
    }
    // However the scan ended (by itself, by Stop, for a removal or the
    // program's end), no scan runs now: Stop is the lit image, never the
    // command that was lit before (Resume, say) beside it.
    view_.LightCommand(ScanCommand::Stop);
    view_.StopRefreshTimer();
    RecordScan();
    ScanState = scan_state::kIdle;
    if (showResult) ShowResult();
}

void ScanSession::FailScan(const std::string& reason) {
    lastStopped_ = false;
    RefreshDisplay();
    // A scan that was not done shows how far it came, never its end.
    view_.ShowStatus("Scanning Failed");
    view_.ShowPercent(parser_.Percent() ? parser_.PercentLabel() : "0%");
    view_.ShowProgressBar(parser_.ProgressValue());
    view_.StopRefreshTimer();
    view_.LightCommand(ScanCommand::Stop);
    // A failed scan is no clean scan of today: it is recorded only for what
    // it found, which stays listed for removal.
    const std::int32_t found = parser_.InfectionCount();
    if (found > 0) RecordScan();
    ScanState = scan_state::kIdle;
    std::string told = reason;
    if (found > 0) {
        told += " The " + std::to_string(found) +
                " infection(s) found before are listed on the Scan page.";
    }
    outcomes_.ScanFailed(told);
}

void ScanSession::EndAfterError(std::exception_ptr error) {
    ScanState = scan_state::kIdle;
    try {
        view_.StopRefreshTimer();
        FailScan("The end of the scan went wrong: " + ErrorText(error));
    } catch (...) {
        // The state is idle; the first error is the one the user hears of.
        ReportLater(error);
    }
}

void ScanSession::RecordScan() {
    try {
        RecordFinishedScan(parser_.InfectionCount(), parser_.ItemsScanned(), parser_.Table());
    } catch (...) {
        // The scan still ends; the user hears why its record is missing.
        ReportLater(std::current_exception());
    }
}

void ScanSession::ReportLater(std::exception_ptr error) {
    Application* application = Application::current();
    if (!application) return;  // the program is gone; nobody to tell
    std::weak_ptr<int> alive = alive_;
    application->post([this, alive, error] {
        if (!alive.expired()) outcomes_.ReportError(error);
    });
}

void ScanSession::ShowResult() {
    if (parser_.InfectionCount() > 0) {
        outcomes_.InfectionsFound(parser_.InfectionCount());
    } else {
        outcomes_.NoInfectionsFound();
    }
}

void ScanSession::StopScan() {
    if (!ScanIsScanning()) return;
    stopRequested_ = true;
    view_.ShowStatus("Scanning Stopped");
    if (run_ && run_->EndedWithin(1000)) {
        // The engine ended by itself meanwhile: that is its own end, which
        // is handed over once everything it produced is taken in.
        stopRequested_ = false;
        run_->AwaitEnd();
        return;
    }
    TerminateScanner();
    // What the engine produced before still counts.
    JoinWorkers();
    view_.ShowStatus("Scanning Stopped");
    EndScan(true);
}

void ScanSession::PauseScan() {
    if (!ScanIsScanning()) return;
    ScanState = scan_state::kPaused;
    if (run_) run_->Pause();
    // The workers halt at their gate, never inside a hand-over: a thread
    // suspended there would freeze the UI thread waiting on it.
    ResetEvent(running_.get());
    view_.LightCommand(ScanCommand::Pause);
}

void ScanSession::ResumeScan() {
    if (!ScanIsPaused()) return;
    ScanState = scan_state::kScanning;
    if (run_) run_->Resume();
    SetEvent(running_.get());
    view_.LightCommand(ScanCommand::Resume);
}

void ScanSession::StopCommand() {
    StopScan();
    // Also when nothing stopped: a paused scan stays paused under Stop.
    view_.LightCommand(ScanCommand::Stop);
}

void ScanSession::StartChosenScan(std::vector<std::string> folders) {
    if (ScanIsPaused()) {
        // The paused engine ends here and its scan counts as stopped.
        stopRequested_ = true;
        view_.ShowStatus("Scanning Stopped");
        TerminateScanner();
        SetEvent(running_.get());
        JoinWorkers();
        EndScan(true, false);
    }
    view_.ShowProgressView();
    BeginScan(std::move(folders));
}

void ScanSession::TerminateScanner() {
    if (run_) run_->Stop();
}

void ScanSession::Abandon() {
    if (!run_) return;
    stopRequested_ = true;
    TerminateScanner();
    SetEvent(running_.get());  // a paused worker must be able to finish
    JoinWorkers();
}

void ScanSession::JoinWorkers() {
    if (!run_) return;
    // Waiting pumps the hand-overs, so a worker inside one cannot hang us;
    // a worker that failed is heard of once it has ended, never dropped.
    run_->Join([this](std::exception_ptr error) { ReportLater(error); });
    run_->Deliver(parser_);
    run_.reset();
}

void ScanSession::ShowRemovalOutcome(int removed, const std::vector<InfectionRecord>& left) {
    view_.ShowStatus(std::to_string(removed) + " Infections Removed");
    view_.ShowItemsScanned(0);
    view_.ShowPercent("0%");
    view_.ShowProgressBar(0);
    view_.ClearInfectionRows();
    parser_.ClearInfections();
    for (const InfectionRecord& record : left)
        parser_.AddInfection(record);
    // The items label stays at zero: the count belongs to the scan that
    // ended, not to what is left.
    shown_.items = parser_.ItemsScanned();
    shown_.rows = 0;
    shown_.infections = -1;
    RefreshFigures();
}

void ScanSession::ShowStatus(const std::string& text) {
    view_.ShowStatus(text);
}

void ScanSession::SetStatusNote(std::string note) {
    if (note == statusNote_) return;
    statusNote_ = std::move(note);
    if (ScanIsScanning() && shown_.lines > 0) view_.ShowStatus(parser_.StatusText() + statusNote_);
}

}  // namespace tolvar
