#pragma once

// The runs of one kind of update: the current one, and those cancelled but
// still winding down (a transfer stuck in the system's library, an updater
// being ended). A new run never waits for an old one: each run writes only
// files of its own and, once cancelled, tells its window nothing more, so
// the two cannot meet. Ended workers are joined at the next start, and all
// of them before their owner goes.

#include <atomic>
#include <memory>
#include <vector>

#include "framework/thread_win.h"

namespace tolvar {

struct UpdateRun {
    virtual ~UpdateRun() = default;
    // From then on the run tells its window nothing and counts nothing.
    virtual void Cancel() { cancelled = true; }

    std::atomic<bool> cancelled{false};
    // Its end has been taken on the UI thread; a cancel is too late then.
    bool concluded = false;
    std::unique_ptr<Thread> worker;
};

class UpdateRuns {
public:
    UpdateRuns() = default;
    // Cancels every run and waits for its worker: no worker outlives the
    // job that owns it, nor reports to a window that may be gone.
    ~UpdateRuns();
    UpdateRuns(const UpdateRuns&) = delete;
    UpdateRuns& operator=(const UpdateRuns&) = delete;

    // Makes run the current one; the one before is cancelled (unless it had
    // ended) and set aside without waiting.
    template <typename Run>
    Run& Begin(std::unique_ptr<Run> run) {
        Run& begun = *run;
        Adopt(std::move(run));
        return begun;
    }
    void CancelCurrent();
    // True while the current run's worker has not ended.
    bool Running() const;

private:
    void Adopt(std::unique_ptr<UpdateRun> run);
    // Joins the set-aside runs whose workers have ended.
    void JoinEnded();

    std::unique_ptr<UpdateRun> current_;
    std::vector<std::unique_ptr<UpdateRun>> retired_;
};

}  // namespace tolvar
