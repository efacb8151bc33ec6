#include "scan/scan_session_win.h"

#include <windows.h>

#include <cstring>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folders.h"
#include "core/system_error_win.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan/scanner_command.h"
#include "ui/main_form_win.h"
#include "ui/program_windows_win.h"
#include "updates/database_files.h"

namespace tolvar {

namespace {

constexpr DWORD kChunkSize = 1024;
// clamscan's exit code for "the scan could not be done".
constexpr DWORD kScannerError = 2;
// After the scanner has gone, the reader gets this long to drain the pipe
// before its read is cancelled (a grandchild could hold the pipe open).
constexpr DWORD kDrainTimeoutMs = 5000;

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

ScanSession::ScanSession(TForm1& form)
    : fixedDrives(&FixedDriveRoots),
      form_(form),
      parser_(lister_, *this),
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

void ScanSession::StartScanCommand() {
    StartOrResumeScan();
    form_.Timer2.setEnabled(false);
}

void ScanSession::StartOrResumeScan() {
    if (ScanState == "idle") {
        ScanState = "scanning";
        std::vector<std::string> drives = fixedDrives();
        form_.CurrentPage = 1;
        form_.ShowPage();
        form_.ScanView = 2;
        form_.ShowScanView();
        BeginScan(std::move(drives));
    } else if (ScanState == "paused") {
        ScanState = "scanning";
        SetEvent(running_.get());
    }
    MoveLitImage(11);
}

void ScanSession::MoveLitImage(int slot) {
    SlotTable& slots = form_.skin().Slots();
    slots.Select(litSlot_, false);
    litSlot_ = slot;
    slots.Select(slot, true);
}

void ScanSession::BeginScan(std::vector<std::string> folders) {
    Skin& skin = form_.skin();
    form_.Timer1.setEnabled(true);
    skin.SetProgressValue(0);
    skin.Slots().flags(11).Selected = true;
    litSlot_ = 11;
    skin.PaintProgressBar(1);
    skin.PaintSlot(11);

    ScanState = "scanning";
    form_.Label40.setCaption("Items Scanned: 0");
    form_.Label12.setCaption("Infections Found: 0");
    form_.Label10.setCaption("Preparing to Scan ...");

    form_.edtInfections.clear();
    parser_.BeginScan(std::move(folders));
    lastError_.clear();

    RemoveStaleDownloads();
    LaunchScanner();
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
    std::string commandLine = BuildScannerCommandLine(
        Folders().ProgramFolder, db, parser_.FolderList(), FileExists(db + "daily.cvd"));

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
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
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
    for (;;) {
        WaitForSingleObject(running_.get(), INFINITE);
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, kChunkSize, &got, nullptr) || got == 0) return;
        buffer[got] = '\0';
        // The chunk is text up to its first zero byte.
        std::string chunk(buffer, std::strlen(buffer));
        WaitForSingleObject(running_.get(), INFINITE);
        self.synchronize([this, &chunk] {
            pending_ += chunk;
            parser_.AssembleLines(pending_);
        });
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
    Skin& skin = form_.skin();
    const bool failed =
        !stopped && (launchFailed_ || (exitCode_ == kScannerError && parser_.ItemsScanned() == 0 &&
                                       parser_.InfectionCount() == 0));
    if (!stopped) {
        form_.Label10.setCaption(failed ? "Scanning Failed" : "Scanning Complete");
        form_.Label11.setCaption("100%");
        form_.Timer1.setEnabled(false);
        skin.SetProgressValue(100);
        skin.Slots().flags(11).Selected = false;
        litSlot_ = 14;  // remembered as lit without being marked
        skin.PaintProgressBar(1);
        skin.PaintSlot(11);
    }
    form_.Timer1.setEnabled(false);
    if (failed) {
        // A scan that never ran is no clean scan of today: not recorded.
        if (lastError_.empty()) lastError_ = parser_.LastErrorLine();
        ScanState = "idle";
        if (Windows().ScanFailed) Windows().ScanFailed->ShowFailure(lastError_);
        return;
    }
    std::exception_ptr recordError;
    try {
        RecordFinishedScan(parser_.InfectionCount(), parser_.ItemsScanned(), parser_.Table());
    } catch (...) {
        // The scan still ends; the user hears why its record is missing.
        recordError = std::current_exception();
    }
    ScanState = "idle";
    if (showResult) ShowResult();
    if (recordError) Application::instance().reportException(recordError);
}

void ScanSession::ShowResult() {
    if (parser_.InfectionCount() > 0) {
        if (Windows().InfectionsFound) Windows().InfectionsFound();
    } else if (Windows().Form17) {
        Windows().Form17->showCentred();
    }
}

void ScanSession::StopScan() {
    if (ScanState != "scanning") return;
    stopRequested_ = true;
    form_.Label10.setCaption("Scanning Stopped");
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
    form_.Label10.setCaption("Scanning Stopped");
    EndScan(true);
}

void ScanSession::PauseScan() {
    if (ScanState != "scanning") return;
    ScanState = "paused";
    // The workers halt at their gate, never inside a hand-over: a thread
    // suspended there would freeze the UI thread waiting on it.
    ResetEvent(running_.get());
    MoveLitImage(12);
}

void ScanSession::ResumeScan() {
    if (ScanState != "paused") return;
    ScanState = "scanning";
    SetEvent(running_.get());
    MoveLitImage(13);
}

void ScanSession::StopCommand() {
    StopScan();
    MoveLitImage(14);
}

void ScanSession::StartChosenScan(std::vector<std::string> folders) {
    if (ScanState == "paused") {
        // The paused scanner ends here and its scan counts as stopped.
        stopRequested_ = true;
        form_.Label10.setCaption("Scanning Stopped");
        TerminateScanner();
        SetEvent(running_.get());
        JoinWorkers();
        EndScan(true, false);
    }
    form_.CurrentPage = 1;
    form_.ShowPage();
    form_.ScanView = 2;
    form_.ShowScanView();
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
    waiter_.reset();
    reader_.reset();
}

void ScanSession::SetStatusText(const std::string& text) {
    form_.Label10.setCaption(text);
}
void ScanSession::SetPercentText(const std::string& text) {
    form_.Label11.setCaption(text);
}
void ScanSession::SetInfectionsText(const std::string& text) {
    form_.Label12.setCaption(text);
}
void ScanSession::SetItemsText(const std::string& text) {
    form_.Label40.setCaption(text);
}
void ScanSession::AddInfectionItem(const std::string& virusName) {
    form_.edtInfections.addItem(virusName);
}
void ScanSession::SetProgress(int value) {
    form_.skin().SetProgressValue(value);
    form_.skin().PaintProgressBar(1);
}

}  // namespace tolvar
