#pragma once

// The download window: shows a database download run on its gauge, the
// success text once the update is in place, and on a failure closes and
// leaves the word to the failure notice. The run itself is the job's; the
// window only starts it after its start delay, cancels it, and drives the
// retry of a refused install.

#include <functional>
#include <string>

#include "framework/timer_win.h"
#include "ui/gauge_win.h"
#include "ui/message_window_win.h"
#include "updates/database_transport.h"
#include "updates/download_job_win.h"

namespace tolvar {

class TForm14;

class TForm8 : public MessageWindow, private DownloadListener {
public:
    TForm8(Skin& skin, TForm14& failureNotice, DatabaseTransport& transport);

    Label& Label1;
    TGauge& Gauge1;
    Label& Label2;  // the success text, over the gauge's place
    Image& Image2;  // close, once the run is complete
    Image& Image3;  // cancel
    Timer Timer1;   // starts the run 2 s after the window shows
    Timer Timer2;   // retries an install the system refused

    // Stops the main window's update check; set by the program.
    std::function<void()> stopUpdateCheck;

    // True while a run's worker exists that has not ended.
    bool Downloading() const { return job_.Running(); }

private:
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();
    void Image2Click();
    void Image3Click();

    // DownloadListener
    void DownloadStarted() override;
    void DownloadProgress(GaugeReading reading) override;
    void DownloadSucceeded() override;
    void InstallRefused() override;
    void DownloadFailed(const std::string& reason) override;

    TForm14& notice_;
    // Last, so it goes first: its worker is joined while the controls it
    // reports to still exist.
    DownloadJob job_;
};

}  // namespace tolvar
