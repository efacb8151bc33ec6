#include "scan/scan_session_win.h"

#include <windows.h>

#include <cstring>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/child_process_win.h"
#include "core/code_pages.h"
#include "core/folders.h"
#include "core/named_file_win.h"
#include "core/registry_win.h"
#include "core/system_error_win.h"
#include "core/trusted_files_win.h"
#include "core/utf8_text.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan/scanner_command.h"
#include "scan/scanner_exit.h"
#include "updates/database_files.h"

namespace tolvar {

namespace {

constexpr DWORD kChunkSize = 1024;
// The chunks that are already waiting in the pipe go to the UI thread
// together, up to this much: a hand-over costs far more than the parsing of
// one chunk's lines, and a busy scanner writes thousands of lines a second.
constexpr std::size_t kHandOverLimit = 64 * 1024;
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

// A path the scanner can be given on its command line, which clamscan.exe
// before 1.5 reads in the system's ANSI code page: the path's short form
// when its own name is not plain ASCII and a short form is.
std::string PathForCommandLine(const std::string& path) {
    if (IsPlainAscii(path)) return path;
    char shortPath[MAX_PATH * 2];
    const DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath) return path;
    const std::string candidate(shortPath, n);
    return IsPlainAscii(candidate) ? candidate : path;
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

std::string ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unexpected error";
    }
}

}  // namespace

std::string ScannerFolder() {
    return Folders().ProgramFolder + "bin\\snr\\1\\9\\";
}

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
        if (clamd_) clamd_->Resume();
        SetEvent(running_.get());
    }
    view_.LightCommand(ScanCommand::Start);
}

void ScanSession::BeginScan(std::vector<std::string> folders) {
    // A clamd scan that ended is joined before its figures could reach
    // this one's.
    if (clamd_) JoinWorkers();
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
    readFailure_.clear();

    // Without a folder the scanner would scan its working folder, and that
    // would read as a scan of the drives.
    if (nothingToScan) {
        FailScan(NoFixedDriveReason());
        return;
    }
    const ScanEngineChoice engine = chooseEngine ? chooseEngine() : ScanEngineChoice{};
    RecordEngine(engine.name);
    if (engine.clamd) {
        LaunchClamd(*engine.clamd);
        return;
    }
    RemoveStaleDownloads();
    LaunchScanner();
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
    return process_ || (clamd_ && clamd_->Running());
}

void ScanSession::LaunchClamd(const ClamdAddress& address) {
    JoinWorkers();
    stopRequested_ = false;
    SetEvent(running_.get());
    try {
        clamd_ = std::make_unique<ClamdScan>(
            address, parser_.FolderList(), running_.get(),
            [this](const ScannerEnding& ending) { ClamdEnded(ending); });
        clamd_->Start();
    } catch (...) {
        StopClamd();
        FailScan("The scan through clamd could not be started: " +
                 ErrorText(std::current_exception()));
    }
}

void ScanSession::ClamdEnded(const ScannerEnding& ending) {
    if (stopRequested_) return;  // StopScan ends this scan itself
    try {
        if (clamd_) clamd_->Deliver(parser_);
        if (ending.failed) {
            FailScan(ending.reason);
        } else {
            EndScan(false, true, ending.itemsUnread);
        }
    } catch (...) {
        EndAfterError(std::current_exception());
    }
}

void ScanSession::StopClamd() {
    if (!clamd_) return;
    clamd_->Stop();
    clamd_->Join([this](std::exception_ptr error) { ReportLater(error); });
    // What was answered before the stop still counts.
    clamd_->Deliver(parser_);
    clamd_.reset();
}

void ScanSession::RefreshDisplay() {
    if (clamd_) clamd_->Deliver(parser_);
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
    pending_.clear();
    SetEvent(running_.get());
    // Nothing that goes wrong here may leave the scan "scanning" with no
    // scanner to end it.
    try {
        StartScanner();
    } catch (...) {
        CloseScannerHandles();
        FailScan("The scanner could not be started: " + ErrorText(std::current_exception()));
    }
}

std::string ScanSession::WriteFileList() {
    const std::vector<std::string>& folders = parser_.FolderList();
    if (!NeedsFileList(folders)) return {};
    fileList_ = Folders().DataFolder + "scan_folders.txt";
    const std::string text = FileListText(folders);
    // The elevated scanner scans what the list names: it is held as
    // written until the scanner is done with it.
    fileListHeld_ =
        WriteTrustedFile(fileList_, std::vector<std::uint8_t>(text.begin(), text.end()));
    return PathForCommandLine(fileList_);
}

void ScanSession::StartScanner() {
    const std::string scanner = ScannerFolder() + "clamscan.exe";
    if (!FileExists(scanner)) {
        FailScan(MissingScannerReason(ScannerFolder()));
        return;
    }
    // The scanner runs with this program's rights and loads what the
    // database folder holds.
    const std::string untrusted = FolderTrustProblem(Folders().DatabaseFolder);
    if (!untrusted.empty()) {
        FailScan("The scan was not started: " + untrusted + ".");
        return;
    }
    const std::string& db = Folders().DatabaseFolder;
    std::vector<std::string> databases = ScanDatabaseFiles(db);
    // A scanner named no database loads what its own default folder holds,
    // or ends with an error that tells the user nothing to do: the scan
    // fails here instead, saying what to do.
    if (databases.empty()) {
        FailScan(NoDatabaseReason(db));
        return;
    }
    // clamscan.exe before 1.5 reads its command line in the ANSI code page:
    // the databases are named by paths it can read.
    for (std::string& database : databases)
        database = PathForCommandLine(database);
    std::string commandLine = BuildScannerCommandLine(Folders().ProgramFolder, databases,
                                                      parser_.FolderList(), WriteFileList());

    std::optional<ChildPipe> output = MakeChildPipe(ChildEnd::Writes);
    std::optional<ChildPipe> input = MakeChildPipe(ChildEnd::Reads);
    if (!output || !input) throw AppError("Cannot create a pipe for the scanner");
    StartedChild started = StartChild({}, std::move(commandLine), Folders().ProgramFolder,
                                      {input->childs.get(), output->childs.get()});
    // The child's ends are the child's: without closing ours, the pipe would
    // never break when the scanner ends.
    output->childs.reset();
    input->childs.reset();

    if (!started.process) {
        CloseScannerHandles();
        FailScan(started.error == ERROR_FILE_NOT_FOUND || started.error == ERROR_PATH_NOT_FOUND
                     ? MissingScannerReason(ScannerFolder())
                     : "The scanner could not be started: " + SystemErrorText(started.error));
        return;
    }
    process_ = std::move(started.process);
    outputRead_ = std::move(output->ours);
    inputWrite_ = std::move(input->ours);

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
            bool failed = false;
            self.synchronize([this, &chunks, &failed] {
                try {
                    pending_ += chunks;
                    parser_.AssembleLines(pending_);
                } catch (...) {
                    // The report can no longer be followed: the scan ends,
                    // as a failed one, once the scanner is gone.
                    readFailure_ = "The scanner's report could not be read: " +
                                   ErrorText(std::current_exception());
                    failed = true;
                    TerminateScanner();
                }
            });
            if (failed) return;
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
    self.synchronize([this, code] {
        try {
            ScannerExited(code);
        } catch (...) {
            EndAfterError(std::current_exception());
        }
    });
}

void ScanSession::CloseScannerHandles() {
    process_.reset();
    outputRead_.reset();
    inputWrite_.reset();
    fileListHeld_.reset();
    if (!fileList_.empty()) {
        DeleteFileA(fileList_.c_str());
        fileList_.clear();
    }
}

void ScanSession::ScannerExited(DWORD exitCode) {
    CloseScannerHandles();
    if (stopRequested_) return;  // StopScan ends this scan itself
    // The scanner's last line may lack its terminator; it is still a line.
    if (!pending_.empty()) {
        parser_.ParseReportLine(pending_);
        pending_.clear();
    }
    if (!readFailure_.empty()) {
        FailScan(readFailure_);
        return;
    }
    const bool scannedSomething = parser_.ItemsScanned() > 0 || parser_.InfectionCount() > 0;
    const ScannerEnding ending =
        JudgeScannerExit(exitCode, parser_.LastErrorLine(), ScannerFolder(), scannedSomething);
    if (ending.failed) {
        FailScan(ending.reason);
    } else {
        EndScan(false, true, ending.itemsUnread);
    }
}

void ScanSession::EndScan(bool stopped, bool showResult, bool itemsUnread) {
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
    if (clamd_) {
        StopClamd();
        EndScan(true);
        return;
    }
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
    if (clamd_) clamd_->Pause();
    // The workers halt at their gate, never inside a hand-over: a thread
    // suspended there would freeze the UI thread waiting on it.
    ResetEvent(running_.get());
    view_.LightCommand(ScanCommand::Pause);
}

void ScanSession::ResumeScan() {
    if (!ScanIsPaused()) return;
    ScanState = scan_state::kScanning;
    if (clamd_) clamd_->Resume();
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
        // The paused scanner ends here and its scan counts as stopped.
        stopRequested_ = true;
        view_.ShowStatus("Scanning Stopped");
        TerminateScanner();
        SetEvent(running_.get());
        StopClamd();
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
    if (!process_ && !waiter_ && !reader_ && !clamd_) return;
    stopRequested_ = true;
    TerminateScanner();
    SetEvent(running_.get());  // a paused worker must be able to finish
    StopClamd();
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
        if (worker && worker->error()) ReportLater(worker->error());
    }
    waiter_.reset();
    reader_.reset();
    if (clamd_) {
        clamd_->Join([this](std::exception_ptr error) { ReportLater(error); });
        clamd_.reset();
    }
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
