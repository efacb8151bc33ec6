#include "framework/application_win.h"

#include "core/app_error.h"
#include "framework/form_win.h"
#include "framework/timer_win.h"
#include "framework/window_classes.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

namespace {

// A hand-over from a worker: the function to run and what became of it.
struct SyncCall {
    const std::function<void()>* fn;
    std::exception_ptr error;
    bool ran = false;
};

constexpr UINT kSyncMessage = WM_APP + 1;
constexpr UINT kPostedMessage = WM_APP + 2;

Application* g_application = nullptr;

}  // namespace

Application::Application(HINSTANCE instance)
    : instance_(instance), uiThread_(GetCurrentThreadId()) {
    if (g_application) throw AppError("The application object already exists");
    registerClasses();
    owner_.reset(
        CreateWindowExA(0, window_class::kOwner, "",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS, 0, 0,
                        0, 0, nullptr, nullptr, instance_, nullptr));
    dispatcher_.reset(CreateWindowExA(0, window_class::kDispatcher, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, instance_, nullptr));
    if (!owner_.get() || !dispatcher_.get())
        throw AppError("Cannot create the application's windows");
    g_application = this;
}

Application::~Application() {
    for (const auto& [id, timer] : timers_)
        KillTimer(dispatcher_.get(), id);
    // The windows go with their owners, the dispatcher first.
    dispatcher_.reset();
    owner_.reset();
    g_application = nullptr;
}

Application& Application::instance() {
    if (!g_application) throw AppError("The application object does not exist");
    return *g_application;
}

Application* Application::current() noexcept {
    return g_application;
}

void Application::registerClasses() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = icon();

    // Forms and panels paint themselves whole, so no background brush.
    wc.lpfnWndProc = &WindowedControl::WindowProc;
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = window_class::kForm;
    RegisterClassExA(&wc);
    wc.lpszClassName = window_class::kPanel;
    RegisterClassExA(&wc);

    wc.style = 0;
    wc.lpfnWndProc = &Application::OwnerProc;
    wc.lpszClassName = window_class::kOwner;
    RegisterClassExA(&wc);

    wc.lpfnWndProc = &Application::DispatcherProc;
    wc.lpszClassName = window_class::kDispatcher;
    RegisterClassExA(&wc);
}

HICON Application::icon() const {
    // The program's icon is its resource 1; a test program has none.
    HICON icon = LoadIconA(instance_, MAKEINTRESOURCEA(1));
    return icon ? icon : LoadIcon(nullptr, IDI_APPLICATION);
}

void Application::setTitle(const std::string& title) {
    title_ = title;
    SetWindowTextA(owner_.get(), title_.c_str());
}

void Application::run(Form& mainForm, bool show) {
    mainForm_ = &mainForm;
    if (show) mainForm.show();
    MSG msg;
    while (!terminated_) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        // Window procedures catch their own errors; this catches what a
        // message without a window (a thread message) might raise.
        try {
            if (Form::PreTranslateKey(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } catch (...) {
            reportException(std::current_exception());
        }
    }
    terminated_ = true;
}

void Application::processMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        try {
            if (Form::PreTranslateKey(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } catch (...) {
            reportException(std::current_exception());
        }
    }
}

void Application::terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void Application::minimize() {
    if (mainForm_) ShowWindow(mainForm_->handle(), SW_MINIMIZE);
    if (minimizeHandler_) minimizeHandler_();
}

void Application::restore() {
    if (!mainForm_) return;
    mainForm_->show();
    HWND main = mainForm_->handle();
    ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
}

void Application::setErrorReport(std::function<void(const std::string&)> report) {
    errorReport_ = std::move(report);
}

void Application::reportException(std::exception_ptr e) noexcept {
    std::string text;
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        text = ex.what();
    } catch (...) {
        text = "An unexpected error occurred.";
    }
    try {
        if (errorReport_) {
            errorReport_(text);
            return;
        }
    } catch (...) {
        // The report itself failed; fall back to the message box.
    }
    HWND active = GetActiveWindow();
    MessageBoxA(active ? active : owner_.get(), text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

void Application::synchronize(const std::function<void()>& fn) {
    if (onUiThread()) {
        fn();
        return;
    }
    SyncCall call{&fn, nullptr, false};
    // SendMessage blocks this worker until the UI thread has handled the
    // call; the UI thread handles sent messages even inside modal loops.
    SendMessageA(dispatcher_.get(), kSyncMessage, 0, reinterpret_cast<LPARAM>(&call));
    if (!call.ran) throw AppError("The program is closing");
    if (call.error) std::rethrow_exception(call.error);
}

const OleaccLibrary& Application::oleacc() {
    if (!oleacc_) oleacc_ = std::make_unique<OleaccLibrary>();
    return *oleacc_;
}

void Application::post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        posted_.push_back(std::move(fn));
    }
    PostMessageA(dispatcher_.get(), kPostedMessage, 0, 0);
}

UINT_PTR Application::registerTimer(Timer& timer) {
    UINT_PTR id = nextTimerId_++;
    timers_[id] = &timer;
    return id;
}

void Application::unregisterTimer(UINT_PTR id) {
    KillTimer(dispatcher_.get(), id);
    timers_.erase(id);
}

LRESULT CALLBACK Application::DispatcherProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kSyncMessage) {
        auto* call = reinterpret_cast<SyncCall*>(lp);
        call->ran = true;
        try {
            (*call->fn)();
        } catch (...) {
            call->error = std::current_exception();
        }
        return 0;
    }
    if (msg == kPostedMessage && g_application) {
        // One message per call, so the calls run one by one, in order.
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(g_application->postedLock_);
            if (g_application->posted_.empty()) return 0;
            fn = std::move(g_application->posted_.front());
            g_application->posted_.pop_front();
        }
        try {
            fn();
        } catch (...) {
            g_application->reportException(std::current_exception());
        }
        return 0;
    }
    if (msg == WM_TIMER && g_application) {
        auto it = g_application->timers_.find(wp);
        if (it != g_application->timers_.end()) {
            try {
                it->second->tick();
            } catch (...) {
                g_application->reportException(std::current_exception());
            }
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Application::OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace tolvar
