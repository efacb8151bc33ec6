#pragma once

// Real-time protection: the watched folders' new and changed files are
// scanned by a loaded engine (the program's own clamd, or the clamd at the
// engine setting's address) moments after their writer is done, and what it
// finds is quarantined at once by the removal's own rules. Without a loaded
// engine nothing is scanned: what arrives meanwhile waits for one. The
// watch and the scans run on worker threads; everything this tells, it
// tells on the UI thread.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/infection_record.h"
#include "framework/timer_win.h"
#include "protection/realtime_events.h"
#include "quarantine/removal.h"

namespace tolvar {

class ClamdDaemon;

class RealtimeProtection {
public:
    explicit RealtimeProtection(ClamdDaemon& daemon);
    // Ends the watch and the scans; waits for both.
    ~RealtimeProtection();
    RealtimeProtection(const RealtimeProtection&) = delete;
    RealtimeProtection& operator=(const RealtimeProtection&) = delete;

    // Reads the stored check box, watched and excluded folders and starts,
    // changes or ends the watch to match. Also after every change of the
    // engine's state.
    void Apply();
    void ShutDown();

    // The stored check box.
    bool Wanted() const;
    // Wanted and an engine loaded: files are scanned as they arrive.
    bool Active() const;
    // The state in words for the Protection window and the tray's tip:
    // "On: 3 folders watched", "Waiting for the scan engine", "Off".
    std::string StateWords() const;

    // Called on the UI thread when the state or the events list changed.
    std::function<void()> onChange;
    // Called on the UI thread once a detection was dealt with (quarantined,
    // or found and not removed, with why), after it was added to the list.
    std::function<void(const RealtimeEvent&)> onDetection;
    // Whether the user's own removal is under way: a quarantine waits for it.
    std::function<bool()> removalBusy;

    // The folders watched now.
    std::vector<std::string> Watching() const;

private:
    class Service;
    struct Detection {
        std::string path;
        std::string name;
    };
    // On the UI thread, from the scans' worker.
    void Found(std::string path, std::string name);
    void QuarantineNext();
    void FinishQuarantine();
    void Tell(RealtimeEvent event);
    void Changed();

    ClamdDaemon& daemon_;
    bool wanted_ = false;
    bool ending_ = false;
    std::vector<std::string> folders_;
    std::vector<std::string> skipped_;
    std::deque<Detection> detections_;
    std::unique_ptr<InfectionTable> table_;
    std::unique_ptr<RemovalRun> run_;
    bool itemDone_ = false;
    // Hands a finished quarantine on outside the run's own call, and tries
    // again while the user's removal holds the vault.
    Timer quarantineTimer_{50, false};
    // Last: it ends first, and with it the workers that call back here.
    std::unique_ptr<Service> service_;
};

}  // namespace tolvar
