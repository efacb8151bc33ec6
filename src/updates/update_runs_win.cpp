#include "updates/update_runs_win.h"

#include "framework/application_win.h"

namespace tolvar {

namespace {

// Waits for a run's worker and reports what it threw, if anything: an
// error of a run nobody listens to any more is still the program's.
void Join(UpdateRun& run) {
    if (!run.worker) return;
    run.worker->waitFor();
    const std::exception_ptr error = run.worker->error();
    run.worker.reset();
    if (!error) return;
    if (Application* app = Application::current()) app->reportException(error);
}

}  // namespace

UpdateRuns::~UpdateRuns() {
    if (current_) retired_.push_back(std::move(current_));
    for (const auto& run : retired_)
        run->Cancel();
    const ULONGLONG giveUp = GetTickCount64() + kWindDownMs;
    for (auto& run : retired_) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < giveUp ? static_cast<DWORD>(giveUp - now) : 0;
        if (run->worker && !run->worker->waitFor(left)) {
            run->abandoned = true;
            // Deliberately never freed: the worker still runs on it, and
            // ends with the process.
            static_cast<void>(run.release());
            continue;
        }
        Join(*run);
    }
}

void UpdateRuns::Adopt(std::unique_ptr<UpdateRun> run) {
    if (current_) {
        if (!current_->concluded) current_->Cancel();
        retired_.push_back(std::move(current_));
    }
    JoinEnded();
    current_ = std::move(run);
}

void UpdateRuns::CancelCurrent() {
    if (current_ && !current_->concluded) current_->Cancel();
}

bool UpdateRuns::Running() const {
    return current_ && current_->worker && !current_->worker->finished();
}

void UpdateRuns::JoinEnded() {
    for (auto it = retired_.begin(); it != retired_.end();) {
        UpdateRun& run = **it;
        if (run.worker && !run.worker->finished()) {
            ++it;
            continue;
        }
        Join(run);
        it = retired_.erase(it);
    }
}

}  // namespace tolvar
