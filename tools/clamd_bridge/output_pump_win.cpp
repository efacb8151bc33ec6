#include "clamd_bridge/output_pump_win.h"

#include <chrono>
#include <thread>

#include "wine_bridge/wine_bridge_win.h"

namespace tolvar::bridge {

namespace {

constexpr std::size_t kMostWaiting = 1024 * 1024;

}  // namespace

OutputPump::OutputPump() : shared_(std::make_shared<Shared>()) {
    std::thread(&OutputPump::Run, shared_).detach();
}

OutputPump::~OutputPump() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->stop = true;
    shared_->changed.notify_all();
}

void OutputPump::Add(std::string_view bytes) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (shared_->waiting.size() + bytes.size() > kMostWaiting) return;
    shared_->waiting.append(bytes);
    shared_->changed.notify_all();
}

void OutputPump::Flush(unsigned ms) {
    std::unique_lock<std::mutex> hold(shared_->lock);
    shared_->changed.wait_for(hold, std::chrono::milliseconds(ms),
                              [this] { return shared_->waiting.empty() && !shared_->writing; });
}

void OutputPump::Run(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> hold(shared->lock);
    for (;;) {
        shared->changed.wait(hold, [&] { return shared->stop || !shared->waiting.empty(); });
        if (shared->waiting.empty()) return;
        std::string bytes = std::exchange(shared->waiting, {});
        shared->writing = true;
        hold.unlock();
        const bool written = WriteOut(bytes);
        hold.lock();
        shared->writing = false;
        shared->changed.notify_all();
        // Nobody reads any more: nothing more is written.
        if (!written) return;
    }
}

}  // namespace tolvar::bridge
