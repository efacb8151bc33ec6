#pragma once

// The program's own clamd: started as a child at start-up when clamd.exe
// sits in the scanner folder, the engine setting is automatic and the scan
// engine is to be kept loaded; trusted once it answers PING on its port and
// that port is its own; reloaded after an update installed something;
// started again once when it dies; ended at shut-down. A worker thread does
// all of it and hands what it learns to the UI thread; scans ask here,
// on the UI thread, which engine to use.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "framework/thread_win.h"
#include "scan/engine_state.h"

namespace tolvar {

struct ClamdDaemonOptions {
    // "" for clamd.exe in the scanner folder.
    std::string clamdExe;
    // "" for clamd.conf in the data folder.
    std::string configFile;
    // "" for the database folder the updater keeps.
    std::string databaseFolder;
    // The port each start listens on; nothing, with why, when none is free.
    // By default one the system has free on 127.0.0.1.
    std::function<std::optional<std::uint16_t>(std::string& error)> choosePort;
    // The processes listening on a port of 127.0.0.1; by default as the
    // system's table names them (LoopbackListeners).
    std::function<std::optional<std::vector<DWORD>>(std::uint16_t port, std::string& error)>
        listenerOwners;
    // Between two PINGs while it loads, and two VERSIONs after a RELOAD.
    DWORD pollMs = 500;
    // How long a reload may take before the old version is taken as final.
    DWORD reloadLimitMs = 180000;
    // From SHUTDOWN to the end by force.
    DWORD shutdownGraceMs = 3000;
};

class ClamdDaemon {
public:
    explicit ClamdDaemon(ClamdDaemonOptions options = {});
    // Ends the clamd, as ShutDown() does.
    ~ClamdDaemon();
    ClamdDaemon(const ClamdDaemon&) = delete;
    ClamdDaemon& operator=(const ClamdDaemon&) = delete;

    // Reads the stored engine setting and check box and starts or ends the
    // program's own clamd to match, in the background; returns at once. A
    // clamd that failed is given a new start.
    void Apply();
    // After an update that installed something, or a change of the allow or
    // ignore list: the clamd loads the folder again while it goes on
    // scanning with what it had.
    void Reload();
    // Ends the clamd (SHUTDOWN, then by force after a few seconds) and the
    // worker; waits for both.
    void ShutDown();

    // The engine for a scan about to begin. A clamd at the setting's address
    // is asked for PING first (about a second at most); one that does not
    // answer leaves clamscan, and the window says why.
    ScanEngineChoice ChooseEngine();

    const EngineSetting& Setting() const { return setting_; }
    const DaemonStatus& Status() const { return status_; }
    const RemoteStatus& Remote() const { return remote_; }
    EngineWords Words() const { return DescribeEngine(setting_, status_, remote_); }
    // The running clamd's process id; 0 when none runs.
    DWORD ProcessId() const { return processId_; }

    // Called on the UI thread whenever the status or the remote's answer
    // changed.
    std::function<void()> onChange;

private:
    struct Requests {
        bool want = false;
        std::string offReason;
        unsigned generation = 0;
        bool reload = false;
        bool quit = false;
        std::optional<ClamdAddress> probe;
    };
    class Worker;

    void Wake();
    void Changed();

    ClamdDaemonOptions options_;
    // The UI thread's view.
    EngineSetting setting_;
    DaemonStatus status_;
    RemoteStatus remote_;
    DWORD processId_ = 0;

    std::mutex lock_;
    Requests requests_;
    UniqueHandle wake_;
    std::unique_ptr<Worker> worker_;
    std::unique_ptr<Thread> thread_;
};

// Asks the clamd at address for PING, then for its VERSION.
RemoteStatus AskRemoteClamd(const ClamdAddress& address, unsigned timeoutMs);

}  // namespace tolvar
