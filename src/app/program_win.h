#pragma once

// The program's windows and the scan they show, made in their fixed order
// and wired to each other: the one place that knows which window follows
// which. Each piece gets only the narrow interface it needs.

#include <string>
#include <vector>

#include "framework/timer_win.h"
#include "protection/realtime_protection_win.h"
#include "protection/request_joiner.h"
#include "protection/scan_request_pipe_win.h"
#include "protection/scheduled_scans_win.h"
#include "quarantine/removal.h"
#include "scan/clamd_daemon_win.h"
#include "scan/scan_session_win.h"
#include "scan/scan_view.h"
#include "ui/about_window_win.h"
#include "ui/download_window_win.h"
#include "ui/failure_notice_win.h"
#include "ui/main_form_win.h"
#include "ui/main_window_commands.h"
#include "ui/protection_settings_window_win.h"
#include "ui/removal_windows_win.h"
#include "ui/result_windows_win.h"
#include "ui/scan_windows_win.h"
#include "ui/splash_window_win.h"
#include "ui/update_prompt_win.h"
#include "ui/update_settings_window_win.h"
#include "updates/system_transport_win.h"

namespace tolvar {

class Program : private MainWindowCommands, private ScanOutcomes, private RemovalWindows {
public:
    // The splash has already been shown (unless the program starts in the
    // tray); it stays, hidden, for the run.
    explicit Program(TForm10& splash);

    // Shows the main window, or with inTray only the tray icon, and runs
    // the message loop until the program ends.
    void Run(bool inTray = false);

    // Requests to scan: the program's own command line's paths, and from
    // now on what the pipe takes (none when it could not be made). A word
    // for the status line (what the command line held that is not read)
    // comes with them.
    void TakeScanRequests(ScanRequestPipe* pipe, const std::vector<std::string>& ownPaths,
                          const std::string& word);
    const RequestJoiner& scanRequests() const { return joiner_; }

    TForm1& mainForm() { return mainForm_; }
    ScanSession& scan() { return scan_; }
    ClamdDaemon& daemon() { return daemon_; }
    RealtimeProtection& realtime() { return realtime_; }
    ScheduledScans& schedule() { return schedule_; }

private:
    // MainWindowCommands
    void StartScan() override;
    void PauseScan() override;
    void ResumeScan() override;
    void StopScan() override;
    void RemoveInfections() override;
    void ChooseFoldersToScan() override;
    void ShowAbout() override;
    void OpenDatabaseUpdates() override;
    void OpenDatabaseSettings() override;
    void OpenProtectionSettings() override;
    void CheckForUpdates() override;
    void ToggleRealtimeProtection() override;

    // ScanOutcomes
    void NewScanBegins() override;
    void InfectionsFound(std::int32_t count) override;
    void NoInfectionsFound() override;
    void ScanFailed(const std::string& reason) override;
    void ReportError(std::exception_ptr error) override;

    // RemovalWindows
    void ClosePrompt() override;
    void TellNothingRemoved(const std::string& why) override;
    void AskToStopScan() override;
    void RunRemoval(RemovalRun& run) override;
    void ShowRemovalDone(const RemovalOutcome& outcome) override;

    // Every skin button shows its face and the progress bar its track once
    // all windows exist.
    void FirstPaint();
    // What the start found wrong with the vault, and on a first start
    // without the scanner where to get it, told once the main window is up.
    void TellStartNotices(bool firstStart);

    TForm10& splash_;
    TForm1 mainForm_;
    ScanSession scan_;
    TForm2 form2_;
    TForm3 form3_;
    TForm6 form6_;
    TForm7 form7_;
    TForm11 form11_;
    TForm16 form16_;
    TForm17 form17_;
    ScanFailedForm scanFailed_;
    TForm14 form14_;
    SystemTransport transport_;
    TForm8 form8_;
    TForm15 form15_;
    TForm12 form12_;
    ProtectionSettingsWindow protection_;
    // The program's own clamd; after the window that shows it, so that it
    // ends (and tells its last change) while the window still exists.
    ClamdDaemon daemon_;
    // Uses the daemon's engine: made after it, so that it ends first.
    RealtimeProtection realtime_{daemon_};
    // Set once the program ends: the daemon's last changes must not start
    // the watch again.
    bool ending_ = false;
    // Applies the stored check box and folders; never fails.
    void ApplyRealtime();
    // The window, the menu's check and the tray's tip after a change.
    void RealtimeChanged();
    void TellDetection(const RealtimeEvent& event);
    struct StartNotice {
        const char* caption;
        std::string text;
        unsigned icon;
    };
    std::vector<StartNotice> notices_;
    Timer startNotices_{100, false};
    // Looks each hour whether a day has passed since the vault's last
    // clean-up, which waits while a scan or a removal runs.
    Timer vaultCleanUp_{60 * 60 * 1000, true};
    ULONGLONG lastVaultCleanUp_ = GetTickCount64();
    void CleanUpVaultDaily();

    // Requests to scan from other processes (Explorer's menu, a second
    // start), joined into one scan once they stop coming; one that comes
    // while the program is busy waits for it.
    ScanRequestPipe* requests_ = nullptr;
    RequestJoiner joiner_;
    Timer requestTimer_{200, false};
    void TakeArrivals();
    void AddArrival(const ScanRequestPipe::Arrival& arrival);
    void StartRequestedScan();
    // A scan, a removal or a download runs, or a window about the last scan
    // waits for the user: a new scan would cut into it.
    bool BusyForNewScan() const;
    // What the last scan's end would show, kept while the window is in the
    // tray: a balloon tells it, and it shows as the window comes back.
    std::function<void()> heldResult_;
    void ShowOrHoldResult(std::function<void()> show, const std::string& balloon, bool warning);
    // The scheduled scan, kept while the program runs; its runs wait while
    // the program is busy or a request waits.
    ScheduledScans schedule_;
    bool StartScheduledScan(const ScheduledTargets& targets);
    // The end of the scan the schedule started, told to it.
    void TellScheduleOutcome(const std::string& words);
    // Posted news from the pipe's thread is dropped once the program is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tolvar
