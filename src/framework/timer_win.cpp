#include "framework/timer_win.h"

#include "framework/application_win.h"

namespace tolvar {

Timer::Timer(UINT intervalMs, bool enabled)
    : id_(Application::instance().registerTimer(*this)), interval_(intervalMs), enabled_(enabled) {
    apply();
}

Timer::~Timer() {
    if (Application* app = Application::current()) app->unregisterTimer(id_);
}

void Timer::setInterval(UINT intervalMs) {
    interval_ = intervalMs;
    apply();
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

void Timer::apply() {
    HWND target = Application::instance().dispatcher();
    // Restarting the timer restarts its period, as a change of setting should.
    KillTimer(target, id_);
    if (enabled_ && interval_ > 0) SetTimer(target, id_, interval_, nullptr);
}

void Timer::tick() {
    if (enabled_ && onTimer) onTimer();
}

}  // namespace tolvar
