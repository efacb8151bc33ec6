#include "scan/clamscan_run_win.h"

#include <windows.h>

#include <cstring>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/child_process_win.h"
#include "core/folders.h"
#include "core/named_file_win.h"
#include "core/system_error_win.h"
#include "core/trusted_files_win.h"
#include "core/utf8_text.h"
#include "scan/excluded_folders.h"
#include "scan/scanner_command.h"
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

}  // namespace

std::string ScannerFolder() {
    return Folders().ProgramFolder + "bin\\snr\\1\\9\\";
}

ClamscanRun::ClamscanRun(ReportParser& parser, HANDLE runningGate,
                         std::function<bool()> stopRequested,
                         std::function<void(const ScannerEnding&)> ended)
    : parser_(parser),
      running_(runningGate),
      stopRequested_(std::move(stopRequested)),
      ended_(std::move(ended)) {}

ClamscanRun::~ClamscanRun() {
    Stop();
    Join([](std::exception_ptr) {});
    CloseScannerHandles();
}

std::string ClamscanRun::WriteFileList() {
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

std::string ClamscanRun::Start() {
    // Nothing that goes wrong here may leave the scan "scanning" with no
    // scanner to end it.
    try {
        const std::string scanner = ScannerFolder() + "clamscan.exe";
        if (!FileExists(scanner)) return MissingScannerReason(ScannerFolder());
        // The scanner runs with this program's rights and loads what the
        // database folder holds.
        const std::string untrusted = FolderTrustProblem(Folders().DatabaseFolder);
        if (!untrusted.empty()) return "The scan was not started: " + untrusted + ".";
        const std::string& db = Folders().DatabaseFolder;
        std::vector<std::string> databases = ScanDatabaseFiles(db);
        // A scanner named no database loads what its own default folder
        // holds, or ends with an error that tells the user nothing to do:
        // the scan fails here instead, saying what to do.
        if (databases.empty()) return NoDatabaseReason(db);
        // clamscan.exe before 1.5 reads its command line in the ANSI code
        // page: the databases are named by paths it can read.
        for (std::string& database : databases)
            database = PathForCommandLine(database);
        std::string commandLine =
            BuildScannerCommandLine(Folders().ProgramFolder, databases, parser_.FolderList(),
                                    WriteFileList(), LoadExcludedFolders().Folders());

        std::optional<ChildPipe> output = MakeChildPipe(ChildEnd::Writes);
        std::optional<ChildPipe> input = MakeChildPipe(ChildEnd::Reads);
        if (!output || !input) throw AppError("Cannot create a pipe for the scanner");
        StartedChild started = StartChild({}, std::move(commandLine), Folders().ProgramFolder,
                                          {input->childs.get(), output->childs.get()});
        // The child's ends are the child's: without closing ours, the pipe
        // would never break when the scanner ends.
        output->childs.reset();
        input->childs.reset();

        if (!started.process) {
            CloseScannerHandles();
            return started.error == ERROR_FILE_NOT_FOUND || started.error == ERROR_PATH_NOT_FOUND
                       ? MissingScannerReason(ScannerFolder())
                       : "The scanner could not be started: " + SystemErrorText(started.error);
        }
        process_ = std::move(started.process);
        outputRead_ = std::move(output->ours);
        inputWrite_ = std::move(input->ours);

        HANDLE pipe = outputRead_.get();
        HANDLE process = process_.get();
        reader_ =
            std::make_unique<TProcessor>([this, pipe](Thread& self) { ReaderBody(self, pipe); });
        // The waiter needs the reader's handle, so the reader starts first.
        reader_->start();
        HANDLE reader = reader_->handle();
        waiter_ = std::make_unique<TClientWaitThread>(
            [this, process, reader](Thread& self) { WaiterBody(self, process, reader); });
        waiter_->start();
        return "";
    } catch (...) {
        CloseScannerHandles();
        return "The scanner could not be started: " + ErrorText(std::current_exception());
    }
}

void ClamscanRun::ReaderBody(Thread& self, HANDLE pipe) {
    char buffer[kChunkSize + 1];
    std::string chunks;
    for (;;) {
        WaitForSingleObject(running_, INFINITE);
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
            WaitForSingleObject(running_, INFINITE);
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
                    Stop();
                }
            });
            if (failed) return;
        }
        if (ended) return;
    }
}

void ClamscanRun::WaiterBody(Thread& self, HANDLE process, HANDLE reader) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    // The end comes after the last chunk: the reader drains the pipe first.
    if (WaitForSingleObject(reader, kDrainTimeoutMs) == WAIT_TIMEOUT) {
        CancelSynchronousIo(reader);
        WaitForSingleObject(reader, INFINITE);
    }
    WaitForSingleObject(running_, INFINITE);
    self.synchronize([this, code] { ScannerExited(code); });
}

void ClamscanRun::CloseScannerHandles() {
    process_.reset();
    outputRead_.reset();
    inputWrite_.reset();
    fileListHeld_.reset();
    if (!fileList_.empty()) {
        DeleteFileA(fileList_.c_str());
        fileList_.clear();
    }
}

void ClamscanRun::ScannerExited(DWORD exitCode) {
    ScannerEnding ending;
    try {
        CloseScannerHandles();
        if (stopRequested_()) return;  // the session ends this scan itself
        // The scanner's last line may lack its terminator; it is still a
        // line.
        if (!pending_.empty()) {
            parser_.ParseReportLine(pending_);
            pending_.clear();
        }
        if (!readFailure_.empty()) {
            ending = ScannerEnding{true, readFailure_, false};
        } else {
            const bool scannedSomething =
                parser_.ItemsScanned() > 0 || parser_.InfectionCount() > 0;
            ending = JudgeScannerExit(exitCode, parser_.LastErrorLine(), ScannerFolder(),
                                      scannedSomething);
        }
    } catch (...) {
        ending = ScannerEnding{
            true, "The end of the scan went wrong: " + ErrorText(std::current_exception()), false};
    }
    ended_(ending);
}

bool ClamscanRun::EndedWithin(DWORD timeoutMs) {
    return process_ && WaitPumping(process_.get(), timeoutMs);
}

void ClamscanRun::AwaitEnd() {
    if (waiter_) waiter_->waitFor();
}

void ClamscanRun::Stop() {
    if (process_) TerminateProcess(process_.get(), static_cast<UINT>(-1));
}

void ClamscanRun::Join(const std::function<void(std::exception_ptr)>& report) {
    // Waiting pumps the hand-overs, so a worker inside one cannot hang us.
    if (waiter_) waiter_->waitFor();
    if (reader_) reader_->waitFor();
    // A worker that failed is heard of once it has ended, never dropped.
    for (Thread* worker :
         {static_cast<Thread*>(waiter_.get()), static_cast<Thread*>(reader_.get())}) {
        if (worker && worker->error()) report(worker->error());
    }
    waiter_.reset();
    reader_.reset();
}

}  // namespace tolvar
