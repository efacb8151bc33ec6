// The hand-over from a worker runs on the UI thread and holds the worker
// until it has run there.

#include <gtest/gtest.h>

#include <atomic>

#include "core/app_error.h"
#include "framework/thread_win.h"
#include "test_support.h"

namespace tolvar {
namespace {

TEST(Synchronize, RunsOnTheUiThreadAndBlocksTheWorkerUntilDone) {
    const DWORD ui = GetCurrentThreadId();
    DWORD ranOn = 0;
    std::atomic<bool> handOverDone{false};
    std::atomic<bool> workerPassed{false};
    bool workerWasHeld = false;

    Thread worker([&](Thread& self) {
        self.synchronize([&] {
            ranOn = GetCurrentThreadId();
            // Keep the UI thread busy a while: the worker must still be
            // waiting when this returns.
            Sleep(150);
            workerWasHeld = !workerPassed.load();
            handOverDone = true;
        });
        workerPassed = true;
    });
    worker.start();
    ASSERT_TRUE(test::PumpUntil([&] { return workerPassed.load(); }));
    worker.waitFor();
    EXPECT_EQ(ranOn, ui);
    EXPECT_TRUE(handOverDone);
    EXPECT_TRUE(workerWasHeld);
    EXPECT_FALSE(worker.error());
}

TEST(Synchronize, ErrorOfTheHandOverComesOutInTheWorker) {
    std::string caught;
    Thread worker([&](Thread& self) {
        try {
            self.synchronize([] { throw AppError("disk full"); });
        } catch (const AppError& e) {
            caught = e.what();
        }
    });
    worker.start();
    worker.waitFor();  // on the UI thread: must handle the hand-over while waiting
    EXPECT_EQ(caught, "disk full");
}

// A UI thread that waits for a worker which is itself inside a hand-over
// would deadlock with a plain wait.
TEST(Synchronize, WaitingForAWorkerInsideItsHandOverDoesNotDeadlock) {
    int handOvers = 0;
    Thread worker([&](Thread& self) {
        for (int i = 0; i < 20; ++i)
            self.synchronize([&] { ++handOvers; });
    });
    worker.start();
    EXPECT_TRUE(worker.waitFor(10000));
    EXPECT_EQ(handOvers, 20);
}

TEST(Synchronize, OnTheUiThreadRunsAtOnce) {
    bool ran = false;
    Application::instance().synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(Threads, ErrorLeavingTheBodyIsKeptNotLost) {
    Thread worker([](Thread&) { throw AppError("boom"); });
    worker.start();
    worker.waitFor();
    ASSERT_TRUE(worker.error());
    EXPECT_THROW(std::rethrow_exception(worker.error()), AppError);
}

}  // namespace
}  // namespace tolvar
