#include "updates/freshclam_job_win.h"

#include <windows.h>

#include <vector>

#include "core/app_error.h"
#include "core/child_process_win.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/settings.h"
#include "core/system_error_win.h"
#include "core/trusted_files_win.h"
#include "framework/application_win.h"
#include "updates/cool_down_store.h"
#include "updates/freshclam_config.h"
#include "updates/freshclam_output.h"

namespace tolvar {

struct FreshclamJob::Run : UpdateRun {
    UniqueHandle process;
    UniqueHandle output;  // our end of the pipe its output goes to
    UniqueHandle config;  // the configuration, held as written while it runs
    // Read on the worker; the UI thread reads it only inside the worker's
    // hand-over of the end, while the worker waits.
    FreshclamOutput said;

    // Ending the updater breaks its pipe, which ends the worker's read.
    void Cancel() override {
        UpdateRun::Cancel();
        if (process) TerminateProcess(process.get(), 1);
    }
};

namespace {

constexpr DWORD kChunk = 1024;

// The size of the files the updater put in place, as the folder has them
// now.
std::uint64_t SizeOf(const std::vector<std::string>& names, const std::string& folder) {
    std::uint64_t total = 0;
    for (const std::string& name : names) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA((folder + name).c_str(), GetFileExInfoStandard, &data)) continue;
        total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return total;
}

// Starts the updater with its output on a pipe; the process, our end of
// the pipe and the held configuration, or the reason it could not start.
std::string Launch(const std::string& executable, UniqueHandle& process, UniqueHandle& output,
                   UniqueHandle& held) {
    const ProgramFolders& folders = Folders();
    const std::string configFile = folders.DataFolder + "freshclam.conf";
    try {
        // The updater runs with this program's rights, reads its
        // configuration (whose OnUpdateExecute would run any command) and
        // writes the databases the scanner loads: none of it may be open to
        // others.
        const std::string untrusted = DataFolderTrustProblem();
        if (!untrusted.empty()) throw AppError(untrusted);
        const std::string config = FreshclamConfig(folders.DatabaseFolder, ProxyOf(Settings()));
        held =
            WriteTrustedFile(configFile, std::vector<std::uint8_t>(config.begin(), config.end()));
    } catch (const std::exception& e) {
        return std::string("Reason: ClamAV's updater could not be set up: ") + e.what();
    }

    std::optional<ChildPipe> pipe = MakeChildPipe(ChildEnd::Writes);
    if (!pipe) {
        return "Reason: ClamAV's updater could not be started: " + SystemErrorText(GetLastError());
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueHandle nothing(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr));
    StartedChild child =
        StartChild(executable, FreshclamCommandLine(executable, configFile, folders.DatabaseFolder),
                   folders.DatabaseFolder, {nothing.get(), pipe->childs.get()});
    if (!child.process) {
        return "Reason: ClamAV's updater (" + executable +
               ") could not be started: " + SystemErrorText(child.error);
    }
    process = std::move(child.process);
    output = std::move(pipe->ours);
    // The writing end, the updater's alone now, goes with pipe, so the pipe
    // breaks when the updater ends.
    return "";
}

}  // namespace

std::string FreshclamPath() {
    return Folders().ProgramFolder + "bin\\snr\\1\\9\\freshclam.exe";
}

FreshclamJob::FreshclamJob(DownloadListener& listener, std::string executable)
    : listener_(listener), executable_(std::move(executable)) {}

void FreshclamJob::Start() {
    Run& run = runs_.Begin(std::make_unique<Run>());
    run.concluded = true;  // until its worker runs, nothing is left to cancel
    if (const std::optional<double> until = CoolDownFor(kUpdaterSource)) {
        listener_.DownloadFailed(CoolDownReason(*until));
        return;
    }
    const std::string failure = Launch(executable(), run.process, run.output, run.config);
    if (!failure.empty()) {
        listener_.DownloadFailed(failure);
        return;
    }
    run.concluded = false;
    listener_.DownloadStarted();
    listener_.DownloadStep("Checking for database updates");
    run.worker = std::make_unique<Thread>([this, &run](Thread& self) { Follow(self, run); });
    run.worker->start();
}

void FreshclamJob::Cancel() {
    runs_.CancelCurrent();
}

bool FreshclamJob::Running() const {
    return runs_.Running();
}

void FreshclamJob::Follow(Thread& worker, Run& run) {
    std::string shownStep;
    GaugeReading shownProgress;
    char buffer[kChunk];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(run.output.get(), buffer, kChunk, &got, nullptr) || got == 0) break;
        if (run.cancelled) continue;  // read on until the pipe breaks
        run.said.Feed(std::string_view(buffer, got));
        const std::string step = run.said.Step();
        const GaugeReading progress = run.said.Progress();
        if (step == shownStep && progress.position == shownProgress.position &&
            progress.maximum == shownProgress.maximum) {
            continue;
        }
        worker.synchronize([&] {
            if (run.cancelled) return;
            if (step != shownStep && !step.empty()) listener_.DownloadStep(step);
            listener_.DownloadProgress(progress);
        });
        shownStep = step;
        shownProgress = progress;
    }
    run.said.Finish();
    WaitForSingleObject(run.process.get(), INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(run.process.get(), &exitCode)) exitCode = 2;
    worker.synchronize([&] {
        // Its job is gone, and there is nothing to tell.
        if (!run.abandoned) Finish(run, exitCode);
    });
}

void FreshclamJob::Finish(Run& run, unsigned long exitCode) {
    run.concluded = true;
    try {
        Conclude(run, exitCode);
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
}

void FreshclamJob::Conclude(Run& run, unsigned long exitCode) {
    if (run.cancelled) return;
    const FreshclamResult result = JudgeFreshclamRun(run.said, exitCode);
    if (result.verdict == FreshclamVerdict::Failed) {
        if (result.coolDownUntil) StoreCoolDown(CoolDown{*result.coolDownUntil, kUpdaterSource});
        listener_.DownloadFailed(result.reason);
        return;
    }
    if (result.verdict == FreshclamVerdict::UpToDate) {
        listener_.DatabaseUpToDate();
        return;
    }
    CountUpdate(Settings(), SizeOf(run.said.UpdatedFiles(), Folders().DatabaseFolder),
                TodaySerial());
    std::exception_ptr saveError;
    try {
        SaveSettings();
    } catch (...) {
        saveError = std::current_exception();
    }
    listener_.DownloadSucceeded();
    if (saveError) std::rethrow_exception(saveError);
}

}  // namespace tolvar
