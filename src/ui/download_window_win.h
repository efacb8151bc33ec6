#pragma once

// The download window: fetches the full or the daily signature database
// into its download name on a worker, shows the transfer on a gauge, and on
// a good transfer counts the update and puts the new file in place. A
// failure closes the window and shows the notice with its reason.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/thread_win.h"
#include "framework/timer_win.h"
#include "ui/gauge_win.h"
#include "ui/message_window_win.h"
#include "updates/download_outcome.h"
#include "updates/update_schedule.h"
#include "updates/url_download_win.h"

namespace tolvar {

class TForm14;

class TForm8 : public MessageWindow {
public:
    TForm8(Skin& skin, TForm14& failureNotice);
    // A transfer still under way is waited for: a worker never outlives
    // the window it reports to.
    ~TForm8() override;

    Label& Label1;
    TGauge& Gauge1;
    Label& Label2;  // the success text, over the gauge's place
    Image& Image2;  // close, once the run is complete
    Image& Image3;  // cancel
    Timer Timer1;   // starts the worker 2 s after the window shows
    Timer Timer2;   // retries an install the system refused

    // Which file the latest run fetched, and where it was written.
    DatabaseKind DownloadKind = DatabaseKind::Main;
    std::string DownloadTarget;

    // Stops the main window's update check; set by the program.
    std::function<void()> stopUpdateCheck;

    // True while a worker exists that has not ended.
    bool Downloading() const;

private:
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();
    void Image2Click();
    void Image3Click();
    void Download(Thread& worker);
    void Complete(const TransferOutcome& outcome);
    std::string LiveFile() const;

    TForm14& notice_;
    std::unique_ptr<Thread> worker_;
    // Loaded by the first run and kept for the program's run.
    std::optional<UrlmonLibrary> urlmon_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace tolvar
