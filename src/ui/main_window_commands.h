#pragma once

// What the main window's buttons, menu and timers ask of the rest of the
// program. The main window owns its controls and its pages; everything that
// reaches beyond them (the scan, the removal, the other windows) goes
// through here, so the window is built and tested on its own.

namespace tolvar {

class MainWindowCommands {
public:
    virtual ~MainWindowCommands() = default;

    // The Scan page's commands.
    virtual void StartScan() = 0;
    virtual void PauseScan() = 0;
    virtual void ResumeScan() = 0;
    virtual void StopScan() = 0;
    virtual void RemoveInfections() = 0;
    // The chooser of the folders to scan, modally.
    virtual void ChooseFoldersToScan() = 0;
    virtual void ShowAbout() = 0;
    // The database download, modally; only asked for while no scan runs.
    virtual void OpenDatabaseUpdates() = 0;
    virtual void OpenDatabaseSettings() = 0;
    // The scan engine's settings and state.
    virtual void OpenProtectionSettings() = 0;
    // One tick of the scheduled update check.
    virtual void CheckForUpdates() = 0;
    // The menu's "Real-time Protection": stores the opposite of what is
    // wanted now and applies it.
    virtual void ToggleRealtimeProtection() = 0;
};

}  // namespace tolvar
