#include "ui/download_window_win.h"

#include <objbase.h>

#include <limits>

#include "core/clock.h"
#include "core/folders.h"
#include "core/settings.h"
#include "framework/application_win.h"
#include "history/scan_history.h"
#include "ui/failure_notice_win.h"
#include "updates/database_install.h"
#include "updates/mirror_address.h"

namespace tolvar {

namespace {

// The download library needs COM on the thread that calls it.
class WorkerApartment {
public:
    WorkerApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~WorkerApartment() {
        if (ok_) CoUninitialize();
    }
    WorkerApartment(const WorkerApartment&) = delete;
    WorkerApartment& operator=(const WorkerApartment&) = delete;

private:
    bool ok_;
};

constexpr int kGaugeLeft = 35;
constexpr int kGaugeTop = 96;
constexpr int kGaugeWidth = 297;
constexpr int kGaugeHeight = 25;

}  // namespace

TForm8::TForm8(Skin& skin, TForm14& failureNotice)
    : MessageWindow("Virus Database Update", "FORM8", 4, skin),
      Label1(
          AddText(kGaugeLeft, 64, kGaugeWidth, 16, "Virus Database updates are now downloading")),
      Gauge1(add<TGauge>(kGaugeLeft, kGaugeTop, kGaugeWidth, kGaugeHeight)),
      Label2(AddText(kGaugeLeft, kGaugeTop - 8, kGaugeWidth, 40,
                     "The Updates have successfully been downloaded and installed.")),
      Image2(AddButton(33, 72, 186)),
      Image3(AddButton(34, 189, 186)),
      Timer1(2000, false),
      Timer2(500, false),
      notice_(failureNotice) {
    Label2.hide();
    onShow = [this] { FormShow(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    Timer2.onTimer = [this] { Timer2Timer(); };
    Image2.onClick = [this] { Image2Click(); };
    Image3.onClick = [this] { Image3Click(); };
}

TForm8::~TForm8() {
    cancelled_ = true;
    if (worker_) worker_->waitFor();
}

bool TForm8::Downloading() const {
    return worker_ && !worker_->finished();
}

std::string TForm8::LiveFile() const {
    return Folders().DatabaseFolder + FilesOf(DownloadKind).liveName;
}

void TForm8::FormShow() {
    if (stopUpdateCheck) stopUpdateCheck();
    // A retry must never rename a file that this run is about to write.
    Timer2.setEnabled(false);
    Label2.hide();
    Gauge1.show();
    Gauge1.setProgress(0);
    Timer1.setEnabled(true);
}

void TForm8::Timer1Timer() {
    Timer1.setEnabled(false);
    if (!visible()) return;  // cancelled before the start
    // A cancelled run may still be winding down its transfer.
    if (worker_) worker_->waitFor();
    cancelled_ = false;
    worker_ = std::make_unique<Thread>([this](Thread& worker) { Download(worker); });
    worker_->start();
}

void TForm8::Download(Thread& worker) {
    std::string url;
    ProxySettings proxy;
    worker.synchronize([&] {
        Gauge1.show();
        Label2.hide();
        const SettingsRecord& settings = Settings();
        const DatabaseFiles files = ChooseDownload(TodaySerial(), settings.LastUpdateDate());
        Gauge1.setMinValue(0);
        Gauge1.setMaxValue(100);
        Gauge1.setProgress(0);
        DownloadKind = files.kind;
        DownloadTarget = Folders().DatabaseFolder + files.downloadName;
        url = DatabaseUrl(ConfiguredMirror(), files.remotePath);
        proxy.use = settings.UseProxy();
        proxy.server = settings.ProxyServer();
        proxy.port = settings.ProxyPort();
        proxy.user = settings.ProxyUser();
        proxy.password = settings.ProxyPassword();
    });
    const std::string target = DownloadTarget;

    WorkerApartment apartment;
    if (!urlmon_) urlmon_.emplace();
    TransferOutcome outcome = DownloadToFile(
        *urlmon_, url, target, proxy, [&](unsigned long done, unsigned long expected) {
            if (cancelled_) return false;
            worker.synchronize([&] {
                constexpr unsigned long kMax = std::numeric_limits<int>::max();
                Gauge1.setMinValue(0);
                Gauge1.setMaxValue(static_cast<int>(expected > kMax ? kMax : expected));
                Gauge1.setProgress(static_cast<int>(done > kMax ? kMax : done));
            });
            return !cancelled_;
        });
    if (cancelled_) {
        // What a cancelled transfer wrote is of no use to anyone.
        DeleteFileA(target.c_str());
        return;
    }
    InspectDownload(target, outcome);
    worker.synchronize([&] { Complete(outcome); });
}

void TForm8::Complete(const TransferOutcome& outcome) {
    if (cancelled_) return;  // Cancel came while the worker was on its way here
    if (!IsGoodDownload(outcome)) {
        // An error page or a cut transfer must never take the live name,
        // and a failure is not an update: nothing is counted.
        DeleteFileA(DownloadTarget.c_str());
        close();
        notice_.ShowFailure(FailureReason(outcome));
        return;
    }
    SettingsRecord& settings = Settings();
    constexpr std::uint64_t kMaxSize = std::numeric_limits<std::int32_t>::max();
    settings.SetLastUpdateSize(
        static_cast<std::int32_t>(outcome.fileSize > kMaxSize ? kMaxSize : outcome.fileSize));
    settings.SetTotalUpdates(settings.TotalUpdates() + 1);
    settings.SetLastUpdateDate(TodaySerial());
    Gauge1.hide();
    Label2.show();
    try {
        SaveSettings();
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
    if (!InstallDatabase(DownloadTarget, LiveFile())) Timer2.setEnabled(true);
}

void TForm8::Timer2Timer() {
    if (GetFileAttributesA(DownloadTarget.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (InstallDatabase(DownloadTarget, LiveFile())) Timer2.setEnabled(false);
}

void TForm8::Image2Click() {
    if (Label2.visible()) close();
}

void TForm8::Image3Click() {
    cancelled_ = true;
    Timer1.setEnabled(false);
    close();
}

}  // namespace tolvar
