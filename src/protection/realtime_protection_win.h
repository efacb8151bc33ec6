#pragma once

// Real-time protection: the watched folders' new and changed files are
// scanned by a loaded engine (the program's own clamd, or the clamd at the
// engine setting's address) moments after their writer is done, and what it
// finds is quarantined at once by the removal's own rules. Without a loaded
// engine nothing is scanned: what arrives meanwhile waits for one. The
// watch and the scans run on worker threads; everything this tells, it
// tells on the UI thread.

#include <functional>
#include <memory>
#include <string>

#include "protection/realtime_events.h"

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

private:
    class Service;
    ClamdDaemon& daemon_;
    std::unique_ptr<Service> service_;
    bool wanted_ = false;
};

}  // namespace tolvar
