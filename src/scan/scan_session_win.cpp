#include "scan/scan_session_win.h"

#include <windows.h>

#include <cstring>

#include "core/app_error.h"
#include "core/folders.h"
#include "core/system_error_win.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan/scanner_command.h"
#include "updates/database_files.h"

namespace tolvar {

namespace {

constexpr DWORD kChunkSize = 1024;
// The chunks that are already waiting in the pipe go to the UI thread
// together, up to this much: a hand-over costs far more than the parsing of
// one chunk's lines, and a busy scanner writes thousands of lines a second.
constexpr std::size_t kHandOverLimit = 64 * 1024;
// clamscan's exit code for "the scan could not be done".
constexpr DWORD kScannerError = 2;
// After the scanner has gone, the reader gets this long to drain the pipe
// before its read is cancelled (a grandchild could hold the pipe open).
constexpr DWORD kDrainTimeoutMs = 5000;

// How much output the pipe holds that a read would return at once.
std::size_t BytesWaiting(HANDLE pipe) {
    DWORD available = 0;
    return PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) ? available : 0;
}

char UserDecimalSeparator() {
    char text[8] = ".";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof text);
    return text[0] ? text[0] : '.';
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
        BeginScan(std::move(drives));
    } else if (ScanIsPaused()) {
        ScanState = scan_state::kScanning;
        SetEvent(running_.get());
    }
    MoveLitImage(ScanCommand::Start);
}

void ScanSession::MoveLitImage(ScanCommand command) {
    if (litCommand_ != ScanCommand::None) view_.LightCommand(litCommand_, false);
    litCommand_ = command;
    view_.LightCommand(command, true);
}

void ScanSession::BeginScan(std::vector<std::string> folders) {
    view_.StartRefreshTimer([this] { RefreshDisplay(); });
    view_.ShowProgressBar(0);
    litCommand_ = ScanCommand::Start;
    view_.LightCommand(ScanCommand::Start, true);

    ScanState = scan_state::kScanning;
    view_.ShowItemsScanned(0);
    view_.ShowInfectionsFound(0);
    view_.ShowStatus("Preparing to Scan ...");

    view_.ClearInfectionRows();
    parser_.BeginScan(std::move(folders));
    // The percentage label keeps its text until the parser has one.
    shown_ = Shown{};
    lastError_.clear();

    RemoveStaleDownloads();
    LaunchScanner();
}

void ScanSession::RefreshDisplay() {
    if (parser_.LinesParsed() != shown_.lines) {
        shown_.lines = parser_.LinesParsed();
        view_.ShowStatus(parser_.StatusText());
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

void ScanSession::LaunchScanner() {
    // A scanner of an earlier scan is gone by now; its threads are joined
    // before new ones take their place.
    JoinWorkers();
    stopRequested_ = false;
    launchFailed_ = false;
    exitCode_ = 0;
    pending_.clear();
    SetEvent(running_.get());

    const std::string& db = Folders().DatabaseFolder;
    std::string commandLine = BuildScannerCommandLine(Folders().ProgramFolder, db,
                                                      ScanDatabaseFiles(db), parser_.FolderList());

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        throw AppError("Cannot create a pipe for the scanner");
    }
    UniqueHandle ownOutRead(outRead), childOutWrite(outWrite);
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) {
        throw AppError("Cannot create a pipe for the scanner");
    }
    UniqueHandle childInRead(inRead), ownInWrite(inWrite);
    // Only the child's ends are inherited.
    SetHandleInformation(ownOutRead.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(ownInWrite.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInRead.get();
    startup.hStdOutput = childOutWrite.get();
    startup.hStdError = childOutWrite.get();
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                       nullptr, Folders().ProgramFolder.c_str(), &startup, &info);
    const DWORD startError = started ? 0 : GetLastError();
    // The scanner's main thread is not ours to use; its handle goes at once.
    const UniqueHandle scannerThread(started ? info.hThread : nullptr);
    UniqueHandle scannerProcess(started ? info.hProcess : nullptr);
    // The child's ends are the child's: without closing ours, the pipe would
    // never break when the scanner ends.
    childOutWrite.reset();
    childInRead.reset();

    if (!started) {
        launchFailed_ = true;
        lastError_ = "The scanner could not be started: " + SystemErrorText(startError);
        ScannerExited(0);
        return;
    }
    process_ = std::move(scannerProcess);
    outputRead_ = std::move(ownOutRead);
    inputWrite_ = std::move(ownInWrite);

    HANDLE pipe = outputRead_.get();
    HANDLE process = process_.get();
    reader_ = std::make_unique<TProcessor>([this, pipe](Thread& self) { ReaderBody(self, pipe); });
    // The waiter needs the reader's handle, so the reader starts first.
    reader_->start();
    HANDLE reader = reader_->handle();
    waiter_ = std::make_unique<TClientWaitThread>(
        [this, process, reader](Thread& self) { WaiterBody(self, process, reader); });
    waiter_->start();
}

void ScanSession::ReaderBody(Thread& self, HANDLE pipe) {
    char buffer[kChunkSize + 1];
    std::string chunks;
    for (;;) {
        WaitForSingleObject(running_.get(), INFINITE);
        chunks.clear();
        bool ended = false;
        // The first read waits for output; the reads after it take what the
        // pipe already holds, and then the lot goes over in one hand-over.
        std::size_t waiting = 0;
        do {
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, kChunkSize, &got, nullptr) || got == 0) {
                ended = true;
                break;
            }
            buffer[got] = '\0';
            // A chunk is text up to its first zero byte.
            chunks.append(buffer, std::strlen(buffer));
            waiting = waiting > got ? waiting - got : BytesWaiting(pipe);
        } while (waiting > 0 && chunks.size() < kHandOverLimit);
        if (!chunks.empty()) {
            WaitForSingleObject(running_.get(), INFINITE);
            self.synchronize([this, &chunks] {
                pending_ += chunks;
                parser_.AssembleLines(pending_);
            });
        }
        if (ended) return;
    }
}

void ScanSession::WaiterBody(Thread& self, HANDLE process, HANDLE reader) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    // The end comes after the last chunk: the reader drains the pipe first.
    if (WaitForSingleObject(reader, kDrainTimeoutMs) == WAIT_TIMEOUT) {
        CancelSynchronousIo(reader);
        WaitForSingleObject(reader, INFINITE);
    }
    WaitForSingleObject(running_.get(), INFINITE);
    self.synchronize([this, code] { ScannerExited(code); });
}

void ScanSession::CloseScannerHandles() {
    process_.reset();
    outputRead_.reset();
    inputWrite_.reset();
}

void ScanSession::ScannerExited(DWORD exitCode) {
    CloseScannerHandles();
    exitCode_ = exitCode;
    if (stopRequested_) return;  // StopScan ends this scan itself
    EndScan(false);
}

void ScanSession::EndScan(bool stopped, bool showResult) {
    // The last chunks arrived after the last tick: the figures that stay on
    // the page, and that the history records, are the exact ones.
    if (stopped) {
        RefreshFigures();
    } else {
        RefreshDisplay();
    }
    const bool failed =
        !stopped && (launchFailed_ || (exitCode_ == kScannerError && parser_.ItemsScanned() == 0 &&
                                       parser_.InfectionCount() == 0));
    if (!stopped) {
        view_.ShowStatus(failed ? "Scanning Failed" : "Scanning Complete");
        view_.ShowPercent("100%");
        view_.StopRefreshTimer();
        view_.ShowProgressBar(100);
        view_.LightCommand(ScanCommand::Start, false);
        litCommand_ = ScanCommand::Stop;  // remembered as lit without being marked
    }
    view_.StopRefreshTimer();
    if (failed) {
        // A scan that never ran is no clean scan of today: not recorded.
        if (lastError_.empty()) lastError_ = parser_.LastErrorLine();
        ScanState = scan_state::kIdle;
        outcomes_.ScanFailed(lastError_);
        return;
    }
    std::exception_ptr recordError;
    try {
        RecordFinishedScan(parser_.InfectionCount(), parser_.ItemsScanned(), parser_.Table());
    } catch (...) {
        // The scan still ends; the user hears why its record is missing.
        recordError = std::current_exception();
    }
    ScanState = scan_state::kIdle;
    if (showResult) ShowResult();
    if (recordError) outcomes_.ReportError(recordError);
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
    if (process_ && WaitPumping(process_.get(), 1000)) {
        // The scanner ended by itself meanwhile: that is its own end, which
        // the waiter hands over once every chunk is parsed.
        stopRequested_ = false;
        if (waiter_) waiter_->waitFor();
        return;
    }
    TerminateScanner();
    // Output already in the pipe still counts.
    JoinWorkers();
    view_.ShowStatus("Scanning Stopped");
    EndScan(true);
}

void ScanSession::PauseScan() {
    if (!ScanIsScanning()) return;
    ScanState = scan_state::kPaused;
    // The workers halt at their gate, never inside a hand-over: a thread
    // suspended there would freeze the UI thread waiting on it.
    ResetEvent(running_.get());
    MoveLitImage(ScanCommand::Pause);
}

void ScanSession::ResumeScan() {
    if (!ScanIsPaused()) return;
    ScanState = scan_state::kScanning;
    SetEvent(running_.get());
    MoveLitImage(ScanCommand::Resume);
}

void ScanSession::StopCommand() {
    StopScan();
    MoveLitImage(ScanCommand::Stop);
}

void ScanSession::StartChosenScan(std::vector<std::string> folders) {
    if (ScanIsPaused()) {
        // The paused scanner ends here and its scan counts as stopped.
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
    if (process_) TerminateProcess(process_.get(), static_cast<UINT>(-1));
}

void ScanSession::Abandon() {
    if (!process_ && !waiter_ && !reader_) return;
    stopRequested_ = true;
    TerminateScanner();
    SetEvent(running_.get());  // a paused worker must be able to finish
    JoinWorkers();
    CloseScannerHandles();
}

void ScanSession::JoinWorkers() {
    // Waiting pumps the hand-overs, so a worker inside one cannot hang us.
    if (waiter_) waiter_->waitFor();
    if (reader_) reader_->waitFor();
    // A worker that failed is heard of once it has ended, never dropped.
    for (Thread* worker :
         {static_cast<Thread*>(waiter_.get()), static_cast<Thread*>(reader_.get())}) {
        if (worker && worker->error()) outcomes_.ReportError(worker->error());
    }
    waiter_.reset();
    reader_.reset();
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

}  // namespace tolvar
