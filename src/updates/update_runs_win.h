#pragma once

// The runs of one kind of update: the current one, and those cancelled but
// still winding down (a transfer stuck in the system's library, an updater
// being ended). A new run never waits for an old one: each run writes only
// files of its own and, once cancelled, tells its window nothing more, so
// the two cannot meet. Ended workers are joined at the next start, and
// before their owner goes; one that has not ended a few seconds after its
// cancel (a transfer stuck in the system's network layer, on a server that
// took the connection and never answers) is left behind, so that the
// program ends whatever a transfer does.

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
    // Left behind by its owner, which is gone: the run and its worker are
    // kept for the rest of the process, and the worker's last hand-over may
    // touch nothing but the run (set on the UI thread, as the hand-over
    // runs there).
    bool abandoned = false;
    std::unique_ptr<Thread> worker;
};

class UpdateRuns {
public:
    UpdateRuns() = default;
    // Cancels every run and waits for its worker, at most kWindDownMs in
    // all: no worker reports to a window that may be gone, and one that
    // has not ended by then is abandoned (it writes only files of its run,
    // never the vault nor the records).
    ~UpdateRuns();
    static constexpr unsigned long kWindDownMs = 5000;
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
