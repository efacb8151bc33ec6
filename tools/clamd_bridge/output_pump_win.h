#pragma once

// Debian clamd's log lines go to the bridge's standard output, as
// clamd.exe writes its log there in the foreground. A program may start it
// with a pipe it never reads; the writes then block on a thread of their
// own, never the bridge's watch over clamd, and what piles up past a limit
// is dropped.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tolvar::bridge {

class OutputPump {
public:
    OutputPump();
    // The writing thread is left behind (it may be blocked for good); the
    // process's end ends it.
    ~OutputPump();
    OutputPump(const OutputPump&) = delete;
    OutputPump& operator=(const OutputPump&) = delete;

    void Add(std::string_view bytes);
    // Waits up to ms for what was added to be written.
    void Flush(unsigned ms);

private:
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        std::string waiting;
        bool writing = false;
        bool stop = false;
    };
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};

}  // namespace tolvar::bridge
