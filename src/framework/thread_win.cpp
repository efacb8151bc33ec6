#include "framework/thread_win.h"

#include <process.h>

#include "core/app_error.h"
#include "framework/application_win.h"

namespace tolvar {

bool WaitPumping(HANDLE object, DWORD timeoutMs) {
    Application* app = Application::current();
    if (!app || !app->onUiThread()) return WaitForSingleObject(object, timeoutMs) == WAIT_OBJECT_0;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            ULONGLONG spent = GetTickCount64() - start;
            if (spent >= timeoutMs) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
            left = static_cast<DWORD>(timeoutMs - spent);
        }
        DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        // Peeking handles the sent messages waiting; posted ones stay queued.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

Thread::Thread(std::function<void(Thread&)> body) : body_(std::move(body)) {}

Thread::~Thread() {
    if (handle_) WaitPumping(handle_.get(), INFINITE);
}

void Thread::start() {
    if (handle_) throw AppError("Thread already started");
    uintptr_t h = _beginthreadex(nullptr, 0, &Thread::Entry, this, 0, nullptr);
    if (!h) throw AppError("Cannot start a thread");
    handle_.reset(reinterpret_cast<HANDLE>(h));
}

unsigned __stdcall Thread::Entry(void* self) {
    auto* thread = static_cast<Thread*>(self);
    // No exception may leave a thread's entry.
    try {
        thread->body_(*thread);
    } catch (...) {
        thread->error_ = std::current_exception();
    }
    return 0;
}

void Thread::waitFor() {
    if (handle_) WaitPumping(handle_.get(), INFINITE);
}

bool Thread::waitFor(DWORD timeoutMs) {
    return !handle_ || WaitPumping(handle_.get(), timeoutMs);
}

bool Thread::finished() const {
    return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0;
}

void Thread::synchronize(const std::function<void()>& fn) {
    Application::instance().synchronize(fn);
}

}  // namespace tolvar
