#pragma once

// A worker thread. Workers never touch windows: what must happen on the UI
// thread is handed over with synchronize(), which blocks the worker until it
// has run there.

#include <windows.h>

#include <exception>
#include <functional>

#include "core/handles_win.h"

namespace tolvar {

class Thread {
public:
    explicit Thread(std::function<void(Thread&)> body);
    // Waits for the thread: a thread never outlives its owner.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void start();
    // Waits until the body has returned. On the UI thread it goes on
    // handling the workers' hand-overs meanwhile, so a worker blocked in
    // synchronize() cannot deadlock it.
    void waitFor();
    // Waits at most timeoutMs; true when the thread has ended.
    bool waitFor(DWORD timeoutMs);
    bool started() const { return static_cast<bool>(handle_); }
    bool finished() const;
    HANDLE handle() const { return handle_.get(); }
    // What the body threw, if anything.
    std::exception_ptr error() const { return error_; }

    // Runs fn on the UI thread; call from the body only.
    void synchronize(const std::function<void()>& fn);

private:
    static unsigned __stdcall Entry(void* self);

    std::function<void(Thread&)> body_;
    UniqueHandle handle_;
    std::exception_ptr error_;
};

// Waits for a kernel object; on the UI thread it handles sent messages (the
// workers' hand-overs) while it waits. True when the object was signalled.
bool WaitPumping(HANDLE object, DWORD timeoutMs);

}  // namespace tolvar
