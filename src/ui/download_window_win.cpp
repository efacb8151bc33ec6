#include "ui/download_window_win.h"

#include "ui/failure_notice_win.h"

namespace tolvar {

namespace {

constexpr int kGaugeLeft = 35;
constexpr int kGaugeTop = 96;
constexpr int kGaugeWidth = 297;
constexpr int kGaugeHeight = 25;

constexpr const char* kDownloading = "Virus Database updates are now downloading";
constexpr const char* kInstalled = "The Updates have successfully been downloaded and installed.";
constexpr const char* kUpToDate = "The Virus Database is already up to date.";
constexpr const char* kWaiting =
    "The Updates have been downloaded and will be installed as soon as the databases in use "
    "are free.";

}  // namespace

TForm8::TForm8(Skin& skin, TForm14& failureNotice, DatabaseTransport& transport,
               std::string freshclam)
    : MessageWindow("Virus Database Update", "FORM8", 4, skin),
      Label1(AddText(kGaugeLeft, 64, kGaugeWidth, 16, kDownloading)),
      Gauge1(add<TGauge>(kGaugeLeft, kGaugeTop, kGaugeWidth, kGaugeHeight)),
      Label2(AddText(kGaugeLeft, kGaugeTop - 8, kGaugeWidth, 40, kInstalled)),
      Image2(AddButton(slot::kDownloadClose, 72, 186)),
      Image3(AddButton(slot::kDownloadCancel, 189, 186)),
      Timer1(2000, false),
      Timer2(500, false),
      notice_(failureNotice),
      updater_(transport, *this, std::move(freshclam)) {
    Label2.hide();
    onShow = [this] { FormShow(); };
    // Cancel, Alt+F4 and a failure all close the window; a run must never
    // go on behind a window that is gone.
    onClose = [this] { FormClose(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    Timer2.onTimer = [this] { Timer2Timer(); };
    Image2.onClick = [this] { Image2Click(); };
    Image3.onClick = [this] { close(); };
    Gauge1.accessible.name = "Download progress";
    // Close does nothing until the run is over.
    Image2.accessible.unavailable = [this] { return !Label2.visible(); };
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image3);
}

void TForm8::FormShow() {
    if (stopUpdateCheck) stopUpdateCheck();
    // A retry must never rename a file over one that this run installs.
    Timer2.setEnabled(false);
    Label1.setCaption(kDownloading);
    Label2.hide();
    Gauge1.show();
    Gauge1.setProgress(0);
    Timer1.setEnabled(true);
}

void TForm8::FormClose() {
    Timer1.setEnabled(false);
    updater_.Cancel();
}

void TForm8::Timer1Timer() {
    Timer1.setEnabled(false);
    if (!visible()) return;  // cancelled before the start
    updater_.Start();
}

void TForm8::Timer2Timer() {
    if (updater_.RetryInstall()) Timer2.setEnabled(false);
}

void TForm8::Image2Click() {
    if (Label2.visible()) close();
}

void TForm8::DownloadStarted() {
    Gauge1.show();
    Label2.hide();
    Gauge1.setMinValue(0);
    Gauge1.setMaxValue(100);
    Gauge1.setProgress(0);
}

void TForm8::DownloadStep(const std::string& step) {
    Label1.setCaption(step);
}

void TForm8::DownloadProgress(GaugeReading reading) {
    Gauge1.setMinValue(0);
    Gauge1.setMaxValue(reading.maximum);
    Gauge1.setProgress(reading.position);
}

void TForm8::ShowOutcome(const char* text) {
    Gauge1.hide();
    Label2.setCaption(text);
    Label2.show();
}

void TForm8::DownloadSucceeded() {
    ShowOutcome(kInstalled);
    if (databaseInstalled) databaseInstalled();
}

void TForm8::DatabaseUpToDate() {
    ShowOutcome(kUpToDate);
}

void TForm8::InstallRefused() {
    ShowOutcome(kWaiting);
    Timer2.setEnabled(true);
}

void TForm8::DownloadFailed(const std::string& reason) {
    close();
    notice_.ShowFailure(reason);
}

}  // namespace tolvar
