// A stand-in for ClamAV's clamd.exe in the Win32 tests, as the real one
// behaves towards the program: started with "--foreground
// --config-file=<file>", it listens on the configuration's TCPAddr and
// TCPSocket (with SO_REUSEADDR, as clamd does) only once its "database" is
// loaded, answers PING with PONG, VERSION with "ClamAV 1.4.6/<n>/<date>",
// RELOAD with RELOADING (closing the connection, and loading again
// afterwards), and ends at SHUTDOWN without a word. It exits 1 when its
// configuration cannot be read or its port bound, as clamd does.
//
// Its script comes from the environment:
//   TOLVAR_FAKE_CLAMD_LOAD_MS    time before it listens; "never" for never
//   TOLVAR_FAKE_CLAMD_SILENT     "1": takes connections and never answers
//   TOLVAR_FAKE_CLAMD_VERSION    a file holding the database version it
//                                loads (1 without one), read at each load
//   TOLVAR_FAKE_CLAMD_RECORD     a file it appends what it did to:
//                                "start <pid> <arguments>", "listen <pid> <port>",
//                                "command <pid> <command>"

// winsock2.h first: windows.h would otherwise bring the old winsock.h.
#include <winsock2.h>
// (apart, so that sorting keeps the order)
#include <windows.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Env(const char* name) {
    char value[1024] = "";
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void Record(const std::string& line) {
    const std::string file = Env("TOLVAR_FAKE_CLAMD_RECORD");
    if (file.empty()) return;
    std::ofstream(file, std::ios::app) << line << "\n";
}

unsigned DatabaseVersion() {
    const std::string file = Env("TOLVAR_FAKE_CLAMD_VERSION");
    unsigned version = 1;
    if (!file.empty()) std::ifstream(file) >> version;
    return version;
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string arguments;
    std::string config;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        arguments += (i > 1 ? " " : "") + arg;
        if (arg.rfind("--config-file=", 0) == 0) config = arg.substr(14);
    }
    const std::string pid = std::to_string(GetCurrentProcessId());
    Record("start " + pid + " " + arguments);

    std::ifstream in(config);
    if (!in) {
        std::fprintf(stderr, "ERROR: Can't open %s\n", config.c_str());
        return 1;
    }
    std::string line, address = "0.0.0.0";
    int port = 0;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.rfind("TCPAddr ", 0) == 0) address = line.substr(8);
        if (line.rfind("TCPSocket ", 0) == 0) port = std::atoi(line.c_str() + 10);
    }
    in.close();
    if (port <= 0) return 1;

    const std::string load = Env("TOLVAR_FAKE_CLAMD_LOAD_MS");
    if (load == "never") Sleep(INFINITE);
    Sleep(load.empty() ? 200 : std::atoi(load.c_str()));
    unsigned version = DatabaseVersion();

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL reuse = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
               sizeof reuse);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(listener, 16) != 0) {
        std::fprintf(stderr, "ERROR: tcpserver: Can't bind to port %d\n", port);
        Record("bind-failed " + pid);
        return 1;
    }
    Record("listen " + pid + " " + std::to_string(port));

    const bool silent = Env("TOLVAR_FAKE_CLAMD_SILENT") == "1";
    std::vector<SOCKET> unanswered;
    ULONGLONG reloadAt = 0;
    for (;;) {
        if (reloadAt && GetTickCount64() >= reloadAt) {
            version = DatabaseVersion();
            reloadAt = 0;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, 50000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        std::string received;
        char buffer[512];
        for (int n; received.find('\0') == std::string::npos &&
                    received.find('\n') == std::string::npos &&
                    (n = recv(client, buffer, sizeof buffer, 0)) > 0;) {
            received.append(buffer, n);
        }
        std::string command = received.substr(0, received.find_first_of(std::string("\0\n", 2)));
        if (!command.empty() && (command[0] == 'z' || command[0] == 'n')) command.erase(0, 1);
        Record("command " + pid + " " + command);
        if (silent) {
            unanswered.push_back(client);
            continue;
        }
        std::string reply;
        if (command == "PING") {
            reply = "PONG";
        } else if (command == "VERSION") {
            reply = "ClamAV 1.4.6/" + std::to_string(version) + "/Wed Dec  9 06:00:00 2026";
        } else if (command == "RELOAD") {
            reply = "RELOADING";
            reloadAt = GetTickCount64() + 300;
        } else if (command == "SHUTDOWN") {
            closesocket(client);
            closesocket(listener);
            return 0;
        } else {
            reply = "UNKNOWN COMMAND";
        }
        reply += '\0';
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        closesocket(client);
    }
}
