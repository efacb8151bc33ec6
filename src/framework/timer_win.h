#pragma once

// A window-message timer: its handler runs on the UI thread, between other
// messages, never while another handler is running.

#include <windows.h>

#include <functional>

namespace tolvar {

class Timer {
public:
    explicit Timer(UINT intervalMs = 1000, bool enabled = true);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    UINT interval() const { return interval_; }
    void setInterval(UINT intervalMs);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    std::function<void()> onTimer;

private:
    friend class Application;
    void tick();
    void apply();

    UINT_PTR id_;
    UINT interval_;
    bool enabled_;
};

}  // namespace tolvar
