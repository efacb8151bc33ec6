// The clamd bridge: stands in for clamd.exe in program folders laid out for
// Wine and runs Debian's clamd instead, the way the scanner bridge runs
// clamscan (see wine_bridge_win.h for how the two sides talk). It stands in
// for the path namespace only: every verdict is Debian clamd's.
//
// Started as clamd.exe is: "clamd.exe --foreground --config-file=FILE"
// (also "--config-file FILE" and "-c FILE"; without one, clamd.conf beside
// the bridge; every other switch is ignored). It reads that clamd.conf
// (Windows paths), writes one for Debian's clamd into its work folder
// (clamd_config_win.h), on a loopback port of its own, and runs it. Once
// Debian's clamd answers PING there (it opens its port only when its
// database is loaded), the bridge listens where the program's configuration says
// (TCPAddr, TCPSocket), itself, so the port is held by the process the
// program started, and passes each connection on (relay_win.h), with paths
// in Linux form one way and Windows form (UTF-8) the other.
//
// Debian clamd's log lines come out on standard output, a leading path in
// Windows form. When Debian's clamd ends (SHUTDOWN among other reasons), so
// does the bridge, with its exit code; when the bridge is ended, the
// watchdog ends Debian's clamd within about a second. Debian clamd's
// process id is in clamd.pid in the work folder
// (%TEMP%\tolvar-clamd-<bridge's process id>-<n>\), for the tests.

#include <winsock2.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clamd_bridge/clamd_config_win.h"
#include "clamd_bridge/clamd_protocol_win.h"
#include "clamd_bridge/output_pump_win.h"
#include "clamd_bridge/relay_win.h"
#include "clamd_bridge/sockets_win.h"
#include "wine_bridge/wine_bridge_win.h"

namespace {

using namespace tolvar::bridge;

constexpr char kStartError[] = "ERROR: the clamd bridge could not start clamd";
// clamd's exit code for every failure.
constexpr int kFailed = 1;

int Fail(const std::string& message) {
    WriteOut(message + "\r\n");
    return kFailed;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path, n < MAX_PATH * 2 ? n : 0);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The configuration file the command line names, or clamd.conf beside the
// bridge as clamd.exe looks for it.
std::wstring ConfigFile(const std::vector<std::wstring>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (StartsWith(arg, L"--config-file=")) return arg.substr(14);
        if ((arg == L"--config-file" || arg == L"-c") && i + 1 < args.size()) return args[i + 1];
    }
    return OwnFolder() + L"clamd.conf";
}

std::string Script(const std::string& work) {
    std::string s = ScriptStart("Written by the clamd bridge for one clamd.", work, "/",
                                "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin");
    s += RequireProgram("clamd", std::string(kStartError) + " (it is not installed)");
    s += WatchedRun("clamd --foreground -c \"$w/clamd.conf\"");
    return s;
}

// True when Debian's clamd answers PING on its port: its database is
// loaded, and the port is its own, not a stranger's that took it first.
bool Answers(unsigned short linuxPort) {
    UniqueSocket clamd = ConnectLoopback(linuxPort);
    if (!clamd || !SendAll(clamd.get(), std::string_view("zPING\0", 6))) return false;
    std::string reply;
    char buffer[16];
    while (reply.size() < 5 && Readable(clamd.get(), 2000)) {
        const int got = recv(clamd.get(), buffer, sizeof buffer, 0);
        if (got <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    return reply == std::string_view("PONG\0", 5);
}

// Ends Debian's clamd through its own port, when the bridge cannot serve.
void ShutDown(unsigned short linuxPort) {
    if (UniqueSocket clamd = ConnectLoopback(linuxPort)) {
        SendAll(clamd.get(), std::string_view("zSHUTDOWN\0", 10));
    }
}

int Run() {
    Winsock winsock;
    auto wine = std::make_shared<WinePaths>();
    if (!winsock.ready() || !wine->Load()) return Fail(kStartError);

    const std::wstring configFile = ConfigFile(Arguments());
    const std::optional<std::string> configText = ReadWholeFile(configFile);
    if (!configText) {
        return Fail("ERROR: Can't open/parse the config file " + Narrow(configFile, CP_UTF8));
    }
    const ProgramConfig config = ParseProgramConfig(*configText);
    if (!config.port) return Fail("ERROR: Please define server type (local and/or TCP).");
    if (*config.port == 0)
        return Fail("ERROR: TCPSocket: the port is not a number from 1 to 65535");

    WorkFolder work;
    if (!work.Create(L"tolvar-clamd-")) return Fail(kStartError);
    const std::optional<std::string> workUnix = wine->ToUnix(work.path());
    const unsigned short linuxPort = FreeLoopbackPort();
    if (!workUnix || linuxPort == 0) return Fail(kStartError);
    const LinuxConfig linuxConfig = TranslateConfig(*wine, config, OwnFolder() + L"database",
                                                    linuxPort, *workUnix + "/clamd.pid");
    if (!linuxConfig.error.empty()) {
        return Fail("ERROR: the clamd bridge finds no Linux path for " + linuxConfig.error);
    }
    if (!WriteWholeFile(work.File(L"clamd.conf"), linuxConfig.text) ||
        !WriteWholeFile(work.File(L"out"), {}) ||
        !WriteWholeFile(work.File(L"run.sh"), Script(*workUnix))) {
        return Fail(kStartError);
    }
    // The process the program started is the clamd it knows.
    const std::wstring pidFile = Widen(config.pidFile, CP_UTF8);
    if (!pidFile.empty()) {
        WriteWholeFile(pidFile, std::to_string(GetCurrentProcessId()) + "\n");
    }

    tolvar::UniqueHandle output(CreateFileW(work.File(L"out").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    Heartbeat heartbeat(work.File(L"alive"));
    if (!output || !heartbeat.Start() ||
        !StartScript(*workUnix + "/run.sh", work.File(L"sh.log"))) {
        return Fail(kStartError);
    }

    OutputPump log;
    std::string pending;
    const auto pass = [&](std::string_view bytes) {
        pending.append(bytes);
        std::string lines;
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string line = pending.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines += WindowsBody(*wine, line) + "\r\n";
        }
        pending.erase(0, start);
        if (!lines.empty()) log.Add(lines);
        return true;
    };
    bool serving = false;
    std::string listenError;
    const auto tick = [&] {
        if (serving || !listenError.empty()) return;
        if (!Answers(linuxPort)) return;
        Listening listening =
            Listen(config.listenAddress, static_cast<unsigned short>(*config.port));
        if (!listening.socket) {
            listenError = listening.error;
            log.Add("ERROR: " + listenError + " (" + config.listenAddress + ":" +
                    std::to_string(*config.port) + ")\r\n");
            ShutDown(linuxPort);
            return;
        }
        StartRelays(std::move(listening.socket), linuxPort, wine);
        serving = true;
    };
    const Followed followed = FollowScript(work, output.get(), pass, tick);
    if (!pending.empty()) log.Add(WindowsBody(*wine, pending) + "\r\n");
    int code = followed.exitCode;
    switch (followed.end) {
        case ScriptEnd::Exited:
            if (code == 126 || code == 127) {
                log.Add(std::string(kStartError) + "\r\n");
                code = kFailed;
            }
            break;
        case ScriptEnd::ReaderGone:
        case ScriptEnd::NeverStarted:
            log.Add(std::string(kStartError) + "\r\n");
            code = kFailed;
            break;
        case ScriptEnd::WatchdogGone:
        case ScriptEnd::FolderGone:
            log.Add("ERROR: the clamd bridge lost clamd\r\n");
            code = kFailed;
            break;
    }
    if (!listenError.empty()) code = kFailed;
    if (!pidFile.empty()) DeleteFileW(pidFile.c_str());
    log.Flush(500);
    return code;
}

}  // namespace

int main() {
    return Run();
}
