#pragma once

// Debian's ClamAV behind the bridges, for the tests whose verdicts must be
// ClamAV's own: the scanner bridge as the program's clamscan.exe, and
// Debian's clamd behind the clamd bridge.

#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <string>

#include "core/handles_win.h"
#include "core/tcp_connection_win.h"
#include "scan/clamd_client_win.h"
#include "scan/clamscan_run_win.h"
#include "scanner_bridge_installed.h"

namespace tolvar::test {

// A loopback port nobody listens on now.
inline std::uint16_t FreePort() {
    EnsureWinsock();
    UniqueSocket probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// Debian's clamd behind the clamd bridge (the test program's clamd.exe),
// started as the program would start clamd.exe, listening on every address
// of this computer; shut down (and ended, should it not go) when this goes.
class BridgedClamd {
public:
    BridgedClamd(const std::string& configFile, std::uint16_t port) : port_(port) {
        std::string command = "\"" + ScannerFolder() + "clamd.exe\" --foreground --config-file=\"" +
                              configFile + "\"";
        // Its log goes nowhere: its lines would only bury the test's.
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const UniqueHandle nowhere(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited,
                                               OPEN_EXISTING, 0, nullptr));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = nowhere.get();
        startup.hStdError = nowhere.get();
        PROCESS_INFORMATION started{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &started)) {
            CloseHandle(started.hThread);
            process_.reset(started.hProcess);
        }
    }
    ~BridgedClamd() {
        if (!process_) return;
        AskClamd({"127.0.0.1", port_}, "SHUTDOWN", 5000);
        if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.get(), 1);
    }
    // Whether it answers PING with PONG within the time (the port opens once
    // the database is loaded).
    bool ready(DWORD timeoutMs) const {
        if (!process_) return false;
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (GetTickCount64() < deadline) {
            if (AskClamd({"127.0.0.1", port_}, "PING", 2000).reply == "PONG") return true;
            if (WaitForSingleObject(process_.get(), 500) == WAIT_OBJECT_0) return false;
        }
        return false;
    }

private:
    std::uint16_t port_;
    UniqueHandle process_;
};

}  // namespace tolvar::test
