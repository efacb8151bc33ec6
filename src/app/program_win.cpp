#include "app/program_win.h"

#include "app/start_up.h"
#include "core/clock.h"
#include "core/settings.h"
#include "core/windows_version.h"
#include "framework/application_win.h"
#include "protection/realtime_setting_win.h"
#include "quarantine/vault.h"
#include "quarantine/vault_clean_up.h"
#include "scan/excluded_folders.h"
#include "scan/scan_state.h"
#include "scan/scanner_exit.h"
#include "ui/realtime_words.h"
#include "updates/database_updater_win.h"
#include "updates/update_check.h"

namespace tolvar {

namespace {

// The caption of the first start's word on the missing scanner.
constexpr const char* kScannerNeededCaption = "ClamAV Needed";

}  // namespace

Program::Program(TForm10& splash)
    : splash_(splash),
      mainForm_(*this),
      scan_(mainForm_.scanPage(), *this),
      form3_(mainForm_.skin(), scan_),
      form6_(mainForm_.skin()),
      form7_(mainForm_.skin()),
      form11_(mainForm_.skin()),
      form16_(mainForm_.skin(), scan_),
      form17_(mainForm_.skin()),
      scanFailed_(mainForm_.skin()),
      form14_(mainForm_.skin()),
      form8_(mainForm_.skin(), form14_, transport_),
      form15_(mainForm_.skin()),
      protection_(daemon_, realtime_) {
    mainForm_.setSplash(&splash_);
    mainForm_.onClose = [this] {
        ending_ = true;
        requestTimer_.setEnabled(false);
        if (requests_) requests_->setOnArrival(nullptr);
        schedule_.ShutDown();
        ShutDown(scan_, mainForm_.skin());
        // Before the daemon, whose engine it uses.
        try {
            realtime_.ShutDown();
        } catch (...) {
        }
        // After the scan: one on the daemon would break as it ends.
        try {
            daemon_.ShutDown();
        } catch (...) {
        }
    };
    scan_.chooseEngine = [this] { return daemon_.ChooseEngine(); };
    daemon_.onChange = [this] {
        if (protection_.visible()) protection_.RefreshState();
        // A loaded (or lost) engine starts (or holds) the watch.
        ApplyRealtime();
    };
    realtime_.onChange = [this] { RealtimeChanged(); };
    realtime_.onDetection = [this](const RealtimeEvent& event) { TellDetection(event); };
    // A quarantine of real-time protection waits for the user's removal.
    realtime_.removalBusy = [this] { return form7_.visible(); };
    // The new signatures reach the loaded engine too.
    form8_.databaseInstalled = [this] { daemon_.Reload(); };
    // So do the user's allow and ignore lists.
    protection_.Exclusions.onListsChanged = [this] { daemon_.Reload(); };
    form8_.stopUpdateCheck = [this] { mainForm_.StopUpdateCheck(); };
    // An allowed file reaches the loaded engine too.
    mainForm_.vaultList().allowListChanged = [this] { daemon_.Reload(); };
    vaultCleanUp_.onTimer = [this] { CleanUpVaultDaily(); };
    form14_.openSettings = [this] { OpenDatabaseSettings(); };
    form15_.openDownload = [this] { form8_.showModal(); };
    requestTimer_.onTimer = [this] { StartRequestedScan(); };
    protection_.setSchedule(&schedule_);
    protection_.scheduleChanged = [this] { schedule_.Apply(); };
    schedule_.startScan = [this](const ScheduledTargets& targets) {
        return StartScheduledScan(targets);
    };
    schedule_.onChange = [this] {
        if (protection_.visible()) protection_.RefreshState();
    };
    mainForm_.onComeBack = [this] {
        if (!heldResult_) return;
        std::function<void()> show = std::move(heldResult_);
        heldResult_ = nullptr;
        show();
    };

    // An error here (a skin file missing, say) is reported and the window
    // still comes up, without the steps that did not run.
    SeedRandom();
    bool firstStart = false;
    try {
        firstStart = StartUp(mainForm_, scan_);
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
    // In the background: the window never waits for the engine to load.
    try {
        daemon_.Apply();
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
    ApplyRealtime();
    RealtimeChanged();

    if (IsNewWindowsVersion()) {
        // The hidden owner window keeps no taskbar button of its own.
        HWND owner = Application::instance().ownerWindow();
        SetWindowLongA(owner, GWL_EXSTYLE, GetWindowLongA(owner, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    }
    FirstPaint();
    TellStartNotices(firstStart);
}

void Program::CleanUpVaultDaily() {
    constexpr ULONGLONG kDayMs = 24ull * 60 * 60 * 1000;
    if (GetTickCount64() - lastVaultCleanUp_ < kDayMs) return;
    // A removal adds to the vault between its steps: the clean-up waits.
    if (!ScanIsIdle() || form7_.visible() || form11_.visible()) return;
    lastVaultCleanUp_ = GetTickCount64();
    if (CleanUpVault() > 0) mainForm_.vaultList().ShowVaultRows(Vault());
}

void Program::Run(bool inTray) {
    if (inTray) mainForm_.StartInTray();
    // A window the tray start put on the taskbar instead is already shown.
    Application::instance().run(mainForm_, !inTray);
}

void Program::ApplyRealtime() {
    if (ending_) return;
    try {
        realtime_.Apply();
    } catch (...) {
        Application::instance().reportException(std::current_exception());
    }
}

void Program::RealtimeChanged() {
    if (ending_) return;
    if (protection_.visible()) protection_.RefreshState();
    mainForm_.ShowRealtimeState(realtime_.Wanted(), realtime_.Active());
}

void Program::TellDetection(const RealtimeEvent& event) {
    const DetectionBalloon balloon = DetectionBalloonOf(event);
    // The vault list shows the copy the quarantine just made.
    if (event.action == kActionQuarantined) mainForm_.vaultList().ShowVaultRows(Vault());
    mainForm_.ShowBalloon(balloon.title, balloon.text,
                          balloon.warning ? BalloonIcon::Warning : BalloonIcon::Info);
    if (protection_.visible()) protection_.RefreshState();
}

void Program::ToggleRealtimeProtection() {
    try {
        StoreRealtimeWanted(!realtime_.Wanted());
    } catch (...) {
        Application::instance().reportException(std::current_exception());
        return;
    }
    ApplyRealtime();
    RealtimeChanged();
}

void Program::FirstPaint() {
    try {
        Skin& skin = mainForm_.skin();
        skin.Slots().flags(slot::kScanPage).Selected = true;
        // No scan has begun: Stop is the lit command image.
        mainForm_.scanPage().LightCommand(ScanCommand::Stop);
        skin.PaintProgressBar(1);
        for (int n = 1; n <= SlotTable::SlotCount; ++n)
            skin.PaintSlot(n);
    } catch (const AppError&) {
        // A window without its faces is still usable; the load error was
        // already reported.
    }
}

void Program::TellStartNotices(bool firstStart) {
    if (!VaultStartNotice().empty()) {
        notices_.push_back({"Tolvar Antivirus", VaultStartNotice(), MB_ICONWARNING});
    }
    // Without ClamAV's files the program cannot scan at all: a setup that
    // found no ClamAV to carry leaves the user to bring them.
    const std::string scanner = ScannerFolder() + "clamscan.exe";
    if (firstStart && GetFileAttributesA(scanner.c_str()) == INVALID_FILE_ATTRIBUTES) {
        notices_.push_back(
            {kScannerNeededCaption, ScannerNeededNotice(ScannerFolder()), MB_ICONINFORMATION});
    }
    if (notices_.empty()) return;
    startNotices_.onTimer = [this] {
        startNotices_.setEnabled(false);
        for (const StartNotice& notice : notices_) {
            MessageBoxA(mainForm_.handle(), notice.text.c_str(), notice.caption,
                        MB_OK | notice.icon);
        }
        notices_.clear();
    };
    startNotices_.setEnabled(true);
}

void Program::StartScan() {
    scan_.StartOrResumeScan();
}

void Program::PauseScan() {
    scan_.PauseScan();
}

void Program::ResumeScan() {
    scan_.ResumeScan();
}

void Program::StopScan() {
    scan_.StopCommand();
}

void Program::RemoveInfections() {
    RemoveCommand(scan_, *this);
}

void Program::ChooseFoldersToScan() {
    form16_.showModal();
}

void Program::ShowAbout() {
    form2_.showModal();
}

void Program::OpenDatabaseUpdates() {
    if (ScanIsIdle()) form8_.showModal();
}

void Program::OpenDatabaseSettings() {
    form12_.ShowSettings();
}

void Program::OpenProtectionSettings() {
    protection_.ShowSettings();
}

void Program::CheckForUpdates() {
    switch (DecideUpdateCheck(Settings(), ScanIsIdle(), form15_.visible(), TodaySerial(),
                              UpdateCoolDown().has_value())) {
        case UpdateCheckStep::Wait:
            return;
        case UpdateCheckStep::NotDue:
            mainForm_.StopUpdateCheck();
            return;
        case UpdateCheckStep::OfferUpdate:
            // Stopped before the offer: the timer's later ticks must not
            // offer again while this one waits for the user.
            mainForm_.StopUpdateCheck();
            form15_.showModal();
            return;
        case UpdateCheckStep::DownloadNow:
            mainForm_.StopUpdateCheck();
            OpenDatabaseUpdates();
            return;
    }
}

void Program::TakeScanRequests(ScanRequestPipe* pipe, const std::vector<std::string>& ownPaths,
                               const std::string& word) {
    if (!word.empty()) scan_.ShowStatus(word);
    if (!ownPaths.empty()) AddArrival(CheckScanRequest(ownPaths));
    requests_ = pipe;
    if (!requests_) return;
    std::weak_ptr<int> alive = alive_;
    requests_->setOnArrival([this, alive] {
        Application::instance().post([this, alive] {
            if (!alive.expired()) TakeArrivals();
        });
    });
    // What came while the program was starting.
    TakeArrivals();
}

void Program::TakeArrivals() {
    if (ending_ || !requests_) return;
    const std::vector<ScanRequestPipe::Arrival> arrivals = requests_->Take();
    if (arrivals.empty()) return;
    for (const ScanRequestPipe::Arrival& arrival : arrivals)
        AddArrival(arrival);
    // The user asked from Explorer: the window shows the scan.
    mainForm_.ComeForward();
}

void Program::AddArrival(const ScanRequestPipe::Arrival& arrival) {
    std::vector<std::string> targets;
    std::vector<RequestedPath> refused = arrival.refused;
    // clamscan leaves an excluded folder out, but never a file named to it.
    const ExcludedFolders excluded = LoadExcludedFolders();
    for (const std::string& target : arrival.targets) {
        if (excluded.Covers(target)) {
            refused.push_back({target, "excluded from scans"});
        } else {
            targets.push_back(target);
        }
    }
    if (!refused.empty() && targets.empty() && !joiner_.Waiting()) {
        scan_.ShowStatus(
            "Not scanned: " + refused.front().path + " (" + refused.front().refusal + ")" +
            (refused.size() > 1 ? " and " + std::to_string(refused.size() - 1) + " more"
                                : std::string()));
    }
    if (targets.empty()) return;
    joiner_.Add(targets, arrival.tick);
    StartRequestedScan();
}

bool Program::BusyForNewScan() const {
    return !ScanIsIdle() || form7_.visible() || form11_.visible() || form3_.visible() ||
           form8_.visible() || form6_.visible();
}

void Program::StartRequestedScan() {
    if (ending_ || !joiner_.Waiting()) {
        requestTimer_.setEnabled(false);
        return;
    }
    requestTimer_.setEnabled(true);
    if (BusyForNewScan()) {
        const std::string note =
            ScanIsIdle() ? "" : "  (a scan request waits for this scan to end)";
        scan_.SetStatusNote(note);
        if (ScanIsIdle()) scan_.ShowStatus("A scan request waits until the open window is closed");
        return;
    }
    std::vector<std::string> targets = joiner_.TakeReady(GetTickCount64());
    if (targets.empty()) return;
    requestTimer_.setEnabled(false);
    scan_.SetStatusNote("");
    mainForm_.ShowScanProgress();
    scan_.StartChosenScan(std::move(targets));
}

bool Program::StartScheduledScan(const ScheduledTargets& targets) {
    // A request from the user goes first; the schedule asks again.
    if (ending_ || BusyForNewScan() || joiner_.Waiting()) return false;
    scan_.StartChosenScan(targets.fixedDrives ? scan_.fixedDrives() : targets.folders);
    return true;
}

void Program::TellScheduleOutcome(const std::string& words) {
    // Only one scan runs at a time: while the schedule's run goes on, the
    // scan that ends is its scan.
    if (schedule_.RunInProgress()) schedule_.RunEnded(words);
}

void Program::ShowOrHoldResult(std::function<void()> show, const std::string& balloon,
                               bool warning) {
    if (!mainForm_.hiddenInTray()) {
        show();
        return;
    }
    heldResult_ = std::move(show);
    mainForm_.ShowBalloon("Tolvar AntiVirus", balloon,
                          warning ? BalloonIcon::Warning : BalloonIcon::Info);
}

void Program::NewScanBegins() {
    heldResult_ = nullptr;
    // The windows that told how an earlier scan ended speak of it no more;
    // the prompt's offer least of all: pressed now it would stop this scan
    // and remove what it has found so far.
    for (MessageWindow* result :
         {static_cast<MessageWindow*>(&form11_), static_cast<MessageWindow*>(&form17_),
          static_cast<MessageWindow*>(&scanFailed_)}) {
        if (result->visible()) result->close();
    }
}

void Program::InfectionsFound(std::int32_t count) {
    TellScheduleOutcome(scan_.LastScanStopped() ? "Stopped"
                                                : std::to_string(count) + " infection(s) found");
    // Never removed without the user: the offer waits for the window.
    ShowOrHoldResult(
        [this, count] { form11_.ShowPrompt(count, [this] { StartRemoval(scan_, *this); }); },
        "Scan complete: " + std::to_string(count) + " infection(s) found", true);
}

void Program::NoInfectionsFound() {
    { TellScheduleOutcome(scan_.LastScanStopped() ? "Stopped" : "No infections found"); }
    ShowOrHoldResult([this] { form17_.showCentred(); }, "Scan complete: no infections found",
                     false);
}

void Program::ScanFailed(const std::string& reason) {
    TellScheduleOutcome("Failed: " + reason);
    ShowOrHoldResult([this, reason] { scanFailed_.ShowFailure(reason); }, "Scan failed: " + reason,
                     true);
}

void Program::ReportError(std::exception_ptr error) {
    Application::instance().reportException(error);
}

void Program::ClosePrompt() {
    if (form11_.visible()) form11_.close();
}

void Program::TellNothingRemoved(const std::string& why) {
    MessageBoxA(mainForm_.handle(), why.c_str(), "Tolvar Antivirus", MB_OK | MB_ICONWARNING);
}

void Program::AskToStopScan() {
    form3_.showModal();
}

void Program::RunRemoval(RemovalRun& run) {
    form7_.Run(run);
}

void Program::ShowRemovalDone(const RemovalOutcome& outcome) {
    form6_.ShowResult(outcome);
}

}  // namespace tolvar
