#include "scan/clamd_daemon_win.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/app_error.h"
#include "core/folders.h"
#include "core/job_object_win.h"
#include "core/loopback_port_win.h"
#include "core/trusted_files_win.h"
#include "framework/application_win.h"
#include "scan/clamd_client_win.h"
#include "scan/clamd_config.h"
#include "scan/scan_session_win.h"
#include "updates/database_files.h"

namespace tolvar {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
// PING and VERSION of a clamd that is up answer within milliseconds.
constexpr unsigned kAskMs = 1000;
// The least a reload is given before it is taken as done without a new
// version: clamd reads even a small folder again in a second or two.
constexpr ULONGLONG kShortestReloadMs = 5000;

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned ProcessorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

std::string ExitCodeText(DWORD code) {
    char text[16];
    wsprintfA(text, code > 0xFFFF ? "0x%08lX" : "%lu", code);
    return text;
}

}  // namespace

RemoteStatus AskRemoteClamd(const ClamdAddress& address, unsigned timeoutMs) {
    RemoteStatus remote;
    remote.asked = true;
    const ClamdAnswer ping = AskClamd(address, "PING", timeoutMs);
    if (!ping.answered || ping.reply != "PONG") {
        remote.reason = ping.answered ? "it answered \"" + ping.reply + "\" to PING" : ping.error;
        return remote;
    }
    remote.answered = true;
    const ClamdAnswer version = AskClamd(address, "VERSION", timeoutMs);
    if (version.answered) remote.version = ParseClamdVersion(version.reply);
    return remote;
}

// Everything the worker thread alone touches: the child, its port and
// configuration, how often it died, a reload under way.
class ClamdDaemon::Worker {
public:
    Worker(ClamdDaemon& owner, Thread& thread) : owner_(owner), thread_(thread) {}

    void Run();

private:
    struct Child {
        UniqueHandle process;
        DWORD id = 0;
        std::uint16_t port = 0;
        // The configuration, held unchangeable while clamd may read it.
        UniqueHandle config;
    };

    void Start();
    void CheckLoading();
    void TakeDeath();
    void BeginReload();
    void CheckReload();
    // Ends the child: SHUTDOWN first when it is trusted, by force after the
    // grace time (or at once when its port was never its own).
    void End(bool ask);
    void Fail(const std::string& reason);
    // Hands the status and the process id to the UI thread when they
    // changed.
    void Publish();
    void PublishRemote(const RemoteStatus& remote);

    ClamdDaemon& owner_;
    Thread& thread_;
    std::unique_ptr<KillOnCloseJob> job_;
    std::optional<Child> child_;
    DaemonStatus status_;
    DaemonStatus published_;
    DWORD publishedId_ = 0;
    bool forcePublish_ = false;
    int deaths_ = 0;
    bool reloadPending_ = false;
    std::optional<std::uint32_t> reloadFrom_;
    ULONGLONG reloadDeadline_ = 0;
    ULONGLONG loadStarted_ = 0;
    ULONGLONG loadMs_ = 0;  // how long the first load took, from start to PONG
};

void ClamdDaemon::Worker::Run() {
    unsigned seen = 0;
    for (;;) {
        Requests requests;
        {
            const std::lock_guard<std::mutex> hold(owner_.lock_);
            requests = owner_.requests_;
            owner_.requests_.reload = false;
            owner_.requests_.probe.reset();
        }
        if (requests.quit) {
            End(true);
            status_ = DaemonStatus{};
            Publish();
            return;
        }
        if (requests.generation != seen) {
            seen = requests.generation;
            // The UI thread guessed the outcome of its request: it hears
            // the real one whatever it was before.
            forcePublish_ = true;
            if (!requests.want) {
                End(true);
                status_ = DaemonStatus{};
                status_.reason = requests.offReason;
            } else if (!child_) {
                deaths_ = 0;
                Start();
            }
        }
        if (requests.reload) reloadPending_ = true;
        // A clamd that could not run (no database before the first update,
        // say) gets a new start, with a new allowance, once an update has
        // installed something.
        if (requests.reload && requests.want && !child_) {
            reloadPending_ = false;
            deaths_ = 0;
            Start();
        }

        if (child_ && WaitForSingleObject(child_->process.get(), 0) == WAIT_OBJECT_0) {
            TakeDeath();
        } else if (child_ && status_.phase == DaemonPhase::Loading) {
            CheckLoading();
        }
        if (child_ && status_.phase == DaemonPhase::Ready) {
            if (reloadPending_ && !status_.reloading) BeginReload();
            if (status_.reloading) CheckReload();
        }
        if (!child_) reloadPending_ = false;
        Publish();
        if (requests.probe) PublishRemote(AskRemoteClamd(*requests.probe, kAskMs));

        HANDLE waits[2] = {owner_.wake_.get(), child_ ? child_->process.get() : nullptr};
        const DWORD count = child_ ? 2 : 1;
        const bool polling = child_ && (status_.phase == DaemonPhase::Loading || status_.reloading);
        WaitForMultipleObjects(count, waits, FALSE, polling ? owner_.options_.pollMs : INFINITE);
    }
}

void ClamdDaemon::Worker::Start() {
    status_ = DaemonStatus{};
    status_.phase = DaemonPhase::Loading;
    const ClamdDaemonOptions& options = owner_.options_;
    const std::string exe =
        options.clamdExe.empty() ? ScannerFolder() + "clamd.exe" : options.clamdExe;
    const std::string config =
        options.configFile.empty() ? Folders().DataFolder + "clamd.conf" : options.configFile;

    const std::string databaseFolder =
        options.databaseFolder.empty() ? Folders().DatabaseFolder : options.databaseFolder;
    // Without a database clamd ends at once, and two such ends would keep
    // it off for good: it waits for the first update instead.
    if (ScanDatabaseFiles(databaseFolder).empty()) {
        return Fail("no virus database yet; it starts once an update has installed one");
    }

    std::string error;
    const std::optional<std::uint16_t> port =
        options.choosePort ? options.choosePort(error) : FreeLoopbackPort(error);
    if (!port) return Fail("no port for it: " + error);

    Child child;
    child.port = *port;
    try {
        if (!job_) job_ = std::make_unique<KillOnCloseJob>();
        ClamdConfig settings;
        settings.port = *port;
        settings.databaseFolder = databaseFolder;
        settings.threads = ProcessorCount();
        settings.vaultFolder = Folders().DataFolder + kVaultFolderName;
        const std::string text = ClamdConfigText(settings);
        child.config =
            WriteTrustedFile(config, std::vector<std::uint8_t>(text.begin(), text.end()));
    } catch (const AppError& e) {
        return Fail(std::string("its configuration could not be written: ") + e.what());
    }
    std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    child.process = job_->Start(
        exe, "\"" + exe + "\" --foreground --config-file=\"" + config + "\"", folder, error);
    if (!child.process) return Fail("clamd.exe could not be started: " + error);
    child.id = GetProcessId(child.process.get());
    child_ = std::move(child);
    loadStarted_ = GetTickCount64();
}

void ClamdDaemon::Worker::CheckLoading() {
    const ClamdAddress address{kLoopback, child_->port};
    const ClamdAnswer ping = AskClamd(address, "PING", kAskMs);
    // Until its database is loaded clamd does not listen at all.
    if (!ping.answered || ping.reply != "PONG") return;

    // Anyone on this computer may listen on a port of 127.0.0.1, and clamd's
    // socket asks no password: the answer counts only when the port is
    // held by the clamd the program started, and by nothing else.
    std::string error;
    const ClamdDaemonOptions& options = owner_.options_;
    const std::optional<std::vector<DWORD>> owners =
        options.listenerOwners ? options.listenerOwners(child_->port, error)
                               : LoopbackListeners(child_->port, error);
    if (!owners) return Fail("its port could not be checked: " + error);
    // The table may not list a port that has just opened: asked again at
    // the next poll.
    if (owners->empty()) return;
    const std::string port = std::to_string(child_->port);
    for (const DWORD owner : *owners) {
        // No process has the id 0: the system does not know who listens
        // (Wine's table, for one, names nobody).
        if (owner == 0) {
            return Fail("the system does not name the program listening on port " + port +
                        " of 127.0.0.1, so its answers cannot be trusted");
        }
        if (owner != child_->id) {
            return Fail("port " + port + " of 127.0.0.1 is held by another program (process " +
                        std::to_string(owner) + "), not by the clamd the program started");
        }
    }
    status_.phase = DaemonPhase::Ready;
    status_.address = address;
    loadMs_ = GetTickCount64() - loadStarted_;
    const ClamdAnswer version = AskClamd(address, "VERSION", kAskMs);
    if (version.answered) status_.version = ParseClamdVersion(version.reply);
}

void ClamdDaemon::Worker::TakeDeath() {
    DWORD code = 0;
    GetExitCodeProcess(child_->process.get(), &code);
    child_.reset();
    ++deaths_;
    if (deaths_ >= 2) {
        status_ = DaemonStatus{};
        status_.phase = DaemonPhase::Failed;
        status_.reason = "clamd.exe ended twice, the last time with exit code " +
                         ExitCodeText(code) + "; it is started again when the settings are saved";
        return;
    }
    Start();
}

void ClamdDaemon::Worker::BeginReload() {
    reloadPending_ = false;
    const ClamdAnswer answer = AskClamd(*status_.address, "RELOAD", kAskMs);
    if (!answer.answered) return;
    status_.reloading = true;
    reloadFrom_ = status_.version ? status_.version->database : std::nullopt;
    // A change of the allow or ignore list, or of the main database alone,
    // changes no version the daemon reports: the reload is taken as done
    // once it has had twice the time the first load took (a reload reads
    // the same folder), so that the state and a reload asked meanwhile do
    // not wait for the whole limit.
    const ULONGLONG expected = std::max<ULONGLONG>(kShortestReloadMs, 2 * loadMs_);
    reloadDeadline_ =
        GetTickCount64() + std::min<ULONGLONG>(owner_.options_.reloadLimitMs, expected);
}

void ClamdDaemon::Worker::CheckReload() {
    const ClamdAnswer answer = AskClamd(*status_.address, "VERSION", kAskMs);
    std::optional<ClamdVersion> version;
    if (answer.answered) version = ParseClamdVersion(answer.reply);
    if (version && version->database != reloadFrom_) {
        status_.version = version;
        status_.reloading = false;
    } else if (GetTickCount64() >= reloadDeadline_) {
        // The update may have changed nothing the version counts (a main
        // database alone): the daemon has reloaded all the same.
        if (version) status_.version = version;
        status_.reloading = false;
    }
}

void ClamdDaemon::Worker::End(bool ask) {
    if (!child_) return;
    // Only to a clamd still running: once it has ended, its port may be
    // anyone's.
    if (ask && status_.phase == DaemonPhase::Ready && status_.address &&
        WaitForSingleObject(child_->process.get(), 0) == WAIT_TIMEOUT) {
        AskClamd(*status_.address, "SHUTDOWN", kAskMs);
        WaitForSingleObject(child_->process.get(), owner_.options_.shutdownGraceMs);
    }
    TerminateProcess(child_->process.get(), 1);
    WaitForSingleObject(child_->process.get(), owner_.options_.shutdownGraceMs);
    child_.reset();
}

void ClamdDaemon::Worker::Fail(const std::string& reason) {
    End(false);
    status_ = DaemonStatus{};
    status_.phase = DaemonPhase::Failed;
    status_.reason = reason;
}

void ClamdDaemon::Worker::Publish() {
    const DWORD id = child_ ? child_->id : 0;
    if (status_ == published_ && id == publishedId_ && !forcePublish_) return;
    forcePublish_ = false;
    published_ = status_;
    publishedId_ = id;
    const DaemonStatus status = status_;
    thread_.synchronize([this, status, id] {
        owner_.status_ = status;
        owner_.processId_ = id;
        owner_.Changed();
    });
}

void ClamdDaemon::Worker::PublishRemote(const RemoteStatus& remote) {
    thread_.synchronize([this, remote] {
        owner_.remote_ = remote;
        owner_.Changed();
    });
}

ClamdDaemon::ClamdDaemon(ClamdDaemonOptions options)
    : options_(std::move(options)), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!wake_) throw AppError("The program could not make an event for its scan engine");
}

ClamdDaemon::~ClamdDaemon() {
    try {
        ShutDown();
    } catch (...) {
    }
}

void ClamdDaemon::Apply() {
    setting_ = LoadEngineSetting();
    const bool keep = LoadKeepLoaded();
    const std::string exe =
        options_.clamdExe.empty() ? ScannerFolder() + "clamd.exe" : options_.clamdExe;
    std::string offReason;
    if (setting_.mode != EngineMode::Automatic) {
        offReason = kNotAutomatic;
    } else if (!keep) {
        offReason = kNotKeptLoaded;
    } else if (!FileExists(exe)) {
        offReason = kNoClamdExe;
    }
    remote_ = RemoteStatus{};
    // What the worker is about to do, shown at once; it tells what came of
    // it.
    if (offReason.empty()) {
        if (status_.phase == DaemonPhase::Off || status_.phase == DaemonPhase::Failed) {
            status_ = DaemonStatus{};
            status_.phase = DaemonPhase::Loading;
        }
    } else {
        status_ = DaemonStatus{};
        status_.reason = offReason;
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        requests_.want = offReason.empty();
        requests_.offReason = offReason;
        ++requests_.generation;
        if (setting_.mode == EngineMode::Address) requests_.probe = setting_.address;
    }
    if (!thread_) {
        thread_ = std::make_unique<Thread>([this](Thread& self) {
            worker_ = std::make_unique<Worker>(*this, self);
            worker_->Run();
        });
        thread_->start();
    }
    Wake();
    Changed();
}

void ClamdDaemon::Reload() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        requests_.reload = true;
    }
    Wake();
}

void ClamdDaemon::ShutDown() {
    if (!thread_) return;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        requests_.quit = true;
    }
    Wake();
    thread_->waitFor();
    const std::exception_ptr error = thread_->error();
    thread_.reset();
    worker_.reset();
    {
        const std::lock_guard<std::mutex> hold(lock_);
        requests_ = Requests{};
    }
    if (error) std::rethrow_exception(error);
}

ScanEngineChoice ClamdDaemon::ChooseEngine() {
    if (setting_.mode == EngineMode::Address) {
        remote_ = AskRemoteClamd(*setting_.address, kAskMs);
        Changed();
    }
    ScanEngineChoice choice = ChooseScanEngine(setting_, status_, remote_);
    // The daemon may have ended since it last reported: a scan that began on
    // it would fail at once, where clamscan can still do it.
    if (choice.clamd && setting_.mode == EngineMode::Automatic) {
        const ClamdAnswer ping = AskClamd(*choice.clamd, "PING", kAskMs);
        if (!ping.answered || ping.reply != "PONG") choice = ScanEngineChoice{};
    }
    return choice;
}

void ClamdDaemon::Wake() {
    SetEvent(wake_.get());
}

void ClamdDaemon::Changed() {
    if (!onChange) return;
    try {
        onChange();
    } catch (...) {
        // Reported from the message loop: the worker that handed the change
        // over must not be the one to carry a window's error.
        Application::instance().post(
            [error = std::current_exception()] { std::rethrow_exception(error); });
    }
}

}  // namespace tolvar
