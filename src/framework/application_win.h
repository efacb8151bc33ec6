#pragma once

// The application object: the hidden owner window that every form belongs
// to, the message loop with the general error report, the dispatcher that
// carries timers and workers' hand-overs to the UI thread, and what the
// UI thread needs to answer accessibility clients (its COM apartment, the
// system's accessibility library, the queue of announcements).

#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "core/com_apartment_win.h"
#include "framework/accessible_events_win.h"
#include "framework/gdi_handles_win.h"
#include "framework/oleacc_library_win.h"

namespace tolvar {

class Form;
class Timer;

class Application {
public:
    explicit Application(HINSTANCE instance = GetModuleHandleA(nullptr));
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The one application of the process; windows, timers and threads reach
    // it here rather than through a pointer handed down every constructor.
    static Application& instance();
    // Null when no application exists (destructors that may outlive it).
    static Application* current() noexcept;

    HINSTANCE hinstance() const { return instance_; }
    // The program's icon (shared: never destroyed).
    HICON icon() const;
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    // Hidden top-level window that owns every form.
    HWND ownerWindow() const { return owner_.get(); }

    // Shows the main form (unless show is false: it waits hidden, in the
    // tray) and runs the message loop until terminate().
    void run(Form& mainForm, bool show = true);
    Form* mainForm() const { return mainForm_; }
    // The form whose closing ends the program and that minimize() and
    // restore() act on; run() sets it. Null for none.
    void setMainForm(Form* form) { mainForm_ = form; }
    // Handles every message waiting in the queue, then returns.
    void processMessages();
    void terminate();
    // Minimises the program: its main form goes to the taskbar.
    void minimize();
    // The inverse: the main form is shown in its normal size and activated.
    void restore();
    bool terminated() const { return terminated_; }

    // The general error report: shows the text of the exception e (a
    // message box unless a test replaced it) and lets the program go on.
    void reportException(std::exception_ptr e) noexcept;
    void setErrorReport(std::function<void(const std::string&)> report);
    // Runs at the end of minimize(), after the program has been minimised;
    // null for none.
    void setMinimizeHandler(std::function<void()> handler) {
        minimizeHandler_ = std::move(handler);
    }
    const std::function<void()>& minimizeHandler() const { return minimizeHandler_; }

    // Runs fn on the UI thread and returns once it has run there. An
    // exception from fn comes out here, in the caller's thread.
    void synchronize(const std::function<void()>& fn);
    bool onUiThread() const { return GetCurrentThreadId() == uiThread_; }
    // Runs fn on the UI thread later, from the message loop, and returns at
    // once; from any thread. What must not run inside a hand-over (a modal
    // error box, which would hold the worker waiting for it) goes this way.
    // What fn throws goes to the general error report.
    void post(std::function<void()> fn);

    // Announcements to accessibility clients, raised from the message loop.
    AccessibleEvents& accessibleEvents() { return accessibleEvents_; }
    // The system's accessibility library, loaded when a client first asks.
    const OleaccLibrary& oleacc();

private:
    friend class Timer;
    UINT_PTR registerTimer(Timer& timer);
    void unregisterTimer(UINT_PTR id);
    HWND dispatcher() const { return dispatcher_.get(); }

    static LRESULT CALLBACK DispatcherProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void registerClasses();

    // Objects handed to accessibility clients in other processes are
    // reached through COM, which the UI thread enters for the whole run.
    ComApartment apartment_;
    HINSTANCE instance_;
    DWORD uiThread_;
    std::string title_;
    UniqueWindow owner_;
    UniqueWindow dispatcher_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    std::function<void(const std::string&)> errorReport_;
    std::function<void()> minimizeHandler_;
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextTimerId_ = 1;
    std::mutex postedLock_;
    std::deque<std::function<void()>> posted_;
    AccessibleEvents accessibleEvents_;
    std::unique_ptr<OleaccLibrary> oleacc_;
};

}  // namespace tolvar
