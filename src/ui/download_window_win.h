#pragma once

// The download window: shows an update run (the program's own download or
// ClamAV's updater) with what it does in its label and its transfer on the
// gauge, the success or up-to-date text once it is over, and on a failure
// closes and leaves the word to the failure notice. The run itself is the
// updater's; the window only starts it after its start delay, cancels it
// (Cancel, or closing the window any other way), and drives the retry of a
// refused install.

#include <functional>
#include <string>

#include "framework/timer_win.h"
#include "ui/gauge_win.h"
#include "ui/message_window_win.h"
#include "updates/database_transport.h"
#include "updates/database_updater_win.h"
#include "updates/download_listener.h"

namespace tolvar {

class TForm14;

class TForm8 : public MessageWindow, private DownloadListener {
public:
    // freshclam is where ClamAV's updater sits; "" for beside the scanner.
    TForm8(Skin& skin, TForm14& failureNotice, DatabaseTransport& transport,
           std::string freshclam = "");

    Label& Label1;  // what the run does
    TGauge& Gauge1;
    Label& Label2;  // the success (or up-to-date) text, over the gauge's place
    Image& Image2;  // close, once the run is complete
    Image& Image3;  // cancel
    Timer Timer1;   // starts the run 2 s after the window shows
    Timer Timer2;   // retries an install the system refused

    // Stops the main window's update check; set by the program.
    std::function<void()> stopUpdateCheck;
    // An update run put new databases in place; set by the program.
    std::function<void()> databaseInstalled;

    // True while a run's worker exists that has not ended.
    bool Downloading() const { return updater_.Running(); }

private:
    void FormShow();
    void FormClose();
    void Timer1Timer();
    void Timer2Timer();
    void Image2Click();

    // DownloadListener
    void DownloadStarted() override;
    void DownloadStep(const std::string& step) override;
    void DownloadProgress(GaugeReading reading) override;
    void DownloadSucceeded() override;
    void DatabaseUpToDate() override;
    void InstallRefused() override;
    void DownloadFailed(const std::string& reason) override;

    void ShowOutcome(const char* text);

    TForm14& notice_;
    // Last, so it goes first: its workers are joined while the controls
    // they report to still exist.
    DatabaseUpdater updater_;
};

}  // namespace tolvar
