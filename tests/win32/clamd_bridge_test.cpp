// The clamd bridge installed as bin\snr\1\9\clamd.exe beside this program,
// started as the program starts clamd.exe, with a clamd.conf written as the
// program writes it, in front of Debian's clamd with ClamAV's signed test
// database. Debian's test corpus (clamav-testfiles: one small file in each
// format ClamAV reads, each detected as "Clamav.Test.File-6") goes through
// one session and comes back with its Windows paths; the vault folder is
// excluded; SHUTDOWN, a port the bridge cannot have and the bridge's
// termination all leave no Debian clamd behind.

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/handles_win.h"
#include "core/loopback_port_win.h"
#include "test_mirror.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

// Debian's clamav-testfiles package, through Wine's Z: drive.
const wchar_t kCorpus[] = L"Z:\\usr\\share\\clamav-testfiles";
constexpr char kTestSignature[] = "Clamav.Test.File-6";
// Generous: only a fault makes a test wait this long.
constexpr DWORD kStartMs = 60000;
constexpr DWORD kEndMs = 15000;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH * 2] = L"";
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return fs::path(std::wstring(path, n)).parent_path().wstring();
}

class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    Socket(Socket&& o) noexcept : s_(std::exchange(o.s_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&& o) noexcept {
        std::swap(s_, o.s_);
        return *this;
    }
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }

private:
    SOCKET s_ = INVALID_SOCKET;
};

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A socket listening on a loopback port nobody else holds (0: let the
// system choose).
Socket ListenOn(unsigned short port) {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = Loopback(port);
    if (!s || bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s.get(), 1) != 0) {
        return {};
    }
    return s;
}

unsigned short PortOf(const Socket& s) {
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

Socket Connect(unsigned short port) {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = Loopback(port);
    if (!s || connect(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return s;
}

bool SendAll(const Socket& s, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const int sent = send(s.get(), bytes.data() + at, static_cast<int>(bytes.size() - at), 0);
        if (sent <= 0) return false;
        at += static_cast<std::size_t>(sent);
    }
    return true;
}

// Everything the other side sends until it closes (or timeoutMs passed).
std::string ReadToEnd(const Socket& s, DWORD timeoutMs) {
    const DWORD timeout = timeoutMs;
    setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    std::string all;
    char buffer[4096];
    for (int got; (got = recv(s.get(), buffer, sizeof buffer, 0)) > 0;)
        all.append(buffer, static_cast<std::size_t>(got));
    return all;
}

// The one reply to a single command outside a session.
std::string Ask(unsigned short port, const std::string& command) {
    Socket s = Connect(port);
    if (!s || !SendAll(s, command)) return "";
    return ReadToEnd(s, kEndMs);
}

// The process that listens on 127.0.0.1:port, as the system reports it
// (the program trusts the port only when it is its own clamd's).
std::optional<DWORD> ListenerOf(unsigned short port) {
    std::string error;
    const std::optional<std::vector<DWORD>> owners = LoopbackListeners(port, error);
    if (!owners || owners->empty()) return std::nullopt;
    return owners->front();
}

// A Linux process, through Wine's view of /proc: alive while its stat
// names it (a zombie, state Z, has ended).
bool LinuxProcessRuns(const std::string& pid, const std::string& name) {
    std::ifstream stat("Z:\\proc\\" + pid + "\\stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    if (line.find("(" + name + ")") == std::string::npos || close == std::string::npos) {
        return false;
    }
    return line.compare(close, 3, ") Z") != 0;
}

bool Eventually(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start > ms) return false;
        Sleep(100);
    }
    return true;
}

class ClamdBridge : public testing::Test {
protected:
    ClamdBridge() : dir_(fs::temp_directory_path() / "tolvar clamd bridge (1.x)") {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        fs::create_directories(dir_ / "db");
        fs::create_directories(dir_ / "files");
        fs::create_directories(vault());
        // Named as the daily database, so VERSION names its version.
        const std::string database = test::ClamavTestFile("test-6.cvd");
        EXPECT_FALSE(database.empty()) << "test-6.cvd is missing; the build scripts fetch it";
        std::ofstream(dir_ / "db" / "daily.cvd", std::ios::binary) << database;
    }
    ~ClamdBridge() override {
        if (bridge_) {
            TerminateProcess(bridge_.get(), 1);
            WaitForSingleObject(bridge_.get(), kEndMs);
        }
        if (!clamdPid_.empty()) Eventually([this] { return !clamdRuns(); }, kEndMs);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        WSACleanup();
    }

    fs::path vault() const { return dir_ / "Vault"; }

    // clamd.conf as the program writes it, the vault excluded by a regex of
    // its path with every metacharacter escaped.
    void writeConfig(unsigned short port) {
        std::string vaultRegex = "^";
        for (char c : vault().string() + "\\") {
            if (std::string_view(".[]()*+?{}|^$\\").find(c) != std::string_view::npos) {
                vaultRegex += '\\';
            }
            vaultRegex += c;
        }
        std::ofstream conf(dir_ / "clamd.conf", std::ios::binary);
        conf << "# clamd.conf written by Tolvar AntiVirus\r\n"
             << "TCPAddr 127.0.0.1\r\n"
             << "TCPSocket " << port << "\r\n"
             << "DatabaseDirectory " << (dir_ / "db").string() << "\\\r\n"
             << "MaxThreads 2\r\n"
             << "ExcludePath " << vaultRegex << "\r\n"
             << "LogFile " << (dir_ / "clamd.log").string() << "\r\n"
             << "PidFile " << (dir_ / "clamd.pid").string() << "\r\n"
             << "Foreground yes\r\n";
    }

    // Starts the bridge on a free port as the program starts clamd.exe.
    void start() {
        unsigned short port = 0;
        {
            const Socket probe = ListenOn(0);
            ASSERT_TRUE(probe);
            port = PortOf(probe);
        }
        startOn(port);
    }
    void startOn(unsigned short port) {
        port_ = port;
        writeConfig(port);
        const std::wstring exe = TestProgramFolder() + L"\\bin\\snr\\1\\9\\clamd.exe";
        ASSERT_TRUE(fs::exists(exe)) << "the clamd bridge is not beside the tests";
        std::wstring command = L"\"" + exe + L"\" --foreground --config-file=\"" +
                               (dir_ / "clamd.conf").wstring() + L"\"";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        UniqueHandle log(CreateFileW((dir_ / "bridge.out").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                     &inherit, CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = log.get();
        startup.hStdError = log.get();
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started));
        bridge_.reset(started.hProcess);
        UniqueHandle thread(started.hThread);
        bridgePid_ = started.dwProcessId;
    }

    // Waits for PONG as the program does, then notes Debian clamd's process
    // id from the bridge's work folder.
    void waitReady() {
        const bool ready = Eventually(
            [this] {
                return Ask(port_, std::string("zPING\0", 6)) == std::string("PONG\0", 5) ||
                       WaitForSingleObject(bridge_.get(), 0) == WAIT_OBJECT_0;
            },
            kStartMs);
        ASSERT_TRUE(ready && WaitForSingleObject(bridge_.get(), 0) == WAIT_TIMEOUT)
            << "no PONG from the bridge; its output: " << bridgeOutput();
        WIN32_FIND_DATAW found;
        const fs::path pattern =
            fs::temp_directory_path() / ("tolvar-clamd-" + std::to_string(bridgePid_) + "-*");
        FindHandle find(FindFirstFileW(pattern.c_str(), &found));
        ASSERT_TRUE(find) << "no work folder of the bridge";
        std::ifstream pid(fs::temp_directory_path() / found.cFileName / "clamd.pid");
        std::getline(pid, clamdPid_);
        ASSERT_FALSE(clamdPid_.empty());
        ASSERT_TRUE(clamdRuns()) << "no Debian clamd with process id " << clamdPid_;
    }

    bool clamdRuns() const { return LinuxProcessRuns(clamdPid_, "clamd"); }

    std::string bridgeOutput() const {
        std::ifstream in(dir_ / "bridge.out", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(bridge_.get(), &code);
        return code;
    }

    fs::path dir_;
    UniqueHandle bridge_;
    DWORD bridgePid_ = 0;
    unsigned short port_ = 0;
    std::string clamdPid_;
};

// One request of a session and what must come back for it.
struct Request {
    std::string command;  // with its terminator
    char terminator;
    std::string expected;  // the reply after "<id>: "; "" to check apart
};

TEST_F(ClamdBridge, ServesTheTestCorpusInOneSessionWithWindowsPathsUntilShutdown) {
    start();
    waitReady();
    // The port is held by the process the program started, as far as the
    // system names the processes that hold ports (Wine may name none, 0).
    const std::optional<DWORD> holder = ListenerOf(port_);
    ASSERT_TRUE(holder) << "nobody listens on the port";
    if (*holder != 0) {
        EXPECT_EQ(*holder, bridgePid_);
    } else {
        std::cout << "[ NOTE     ] the system names no process holding the port\n";
    }
    std::ifstream pidFile(dir_ / "clamd.pid");
    std::string written;
    std::getline(pidFile, written);
    EXPECT_EQ(written, std::to_string(bridgePid_)) << "PidFile names the clamd.exe process";

    // The corpus copied in as a Windows user has it, with one more copy in
    // a name of many scripts and one in the vault.
    std::vector<Request> requests;
    const auto scan = [&](const std::string& path, const std::string& verdict, char prefix = 'z') {
        const char terminator = prefix == 'z' ? '\0' : '\n';
        requests.push_back({std::string(1, prefix) + "SCAN " + path + terminator, terminator,
                            path + ": " + verdict});
    };
    std::size_t corpus = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        const fs::path copy = dir_ / "files" / entry.path().filename();
        ASSERT_TRUE(CopyFileW(entry.path().c_str(), copy.c_str(), FALSE)) << copy;
        scan(Utf8(copy.wstring()), std::string(kTestSignature) + " FOUND");
        ++corpus;
    }
    ASSERT_GE(corpus, 40u) << "Debian's clamav-testfiles is not installed";
    const fs::path sample = fs::path(kCorpus) / L"clam.exe";
    const fs::path named = dir_ / "files" / L"Rechnung März счёт 請求書.exe";
    ASSERT_TRUE(CopyFileW(sample.c_str(), named.c_str(), FALSE));
    scan(Utf8(named.wstring()), std::string(kTestSignature) + " FOUND");
    const fs::path excluded = vault() / "clam.exe";
    ASSERT_TRUE(CopyFileW(sample.c_str(), excluded.c_str(), FALSE));
    scan(excluded.string(), "Excluded");
    const fs::path clean = dir_ / "files" / "clean.txt";
    std::ofstream(clean) << "nothing to find here\n";
    // A line-framed command among the others answers with a line.
    scan(clean.string(), "OK", 'n');
    scan((dir_ / "files" / "missing.txt").string(),
         "File path check failure: No such file or directory. ERROR");
    // A stream in three chunks of a file large enough to arrive in many
    // pieces, the last chunk starting with "n" and holding no line end: a
    // relay that took chunk bytes for a command would wait for its end.
    std::ifstream in(fs::path(kCorpus) / L"clam.ea05.exe", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t lastLine = bytes.rfind('\n');
    const std::size_t cut = bytes.find('n', lastLine == std::string::npos ? 0 : lastLine + 1);
    ASSERT_TRUE(cut != std::string::npos && cut > 100) << "clam.ea05.exe changed";
    std::string stream("zINSTREAM\0", 10);
    for (const std::string& chunk :
         {bytes.substr(0, 100), bytes.substr(100, cut - 100), bytes.substr(cut)}) {
        const auto n = static_cast<std::uint32_t>(chunk.size());
        stream += {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                   static_cast<char>(n >> 8), static_cast<char>(n)};
        stream += chunk;
    }
    stream += std::string(4, '\0');
    requests.push_back({stream, '\0', std::string("stream: ") + kTestSignature + " FOUND"});

    Socket session = Connect(port_);
    ASSERT_TRUE(session);
    // Replies are read while the requests go out, as clamd wants.
    std::string replies;
    std::thread reader([&] { replies = ReadToEnd(session, kStartMs); });
    bool sent = SendAll(session, std::string("zIDSESSION\0", 11));
    for (const Request& request : requests)
        sent = sent && SendAll(session, request.command);
    sent = sent && SendAll(session, std::string("zEND\0", 5));
    reader.join();
    ASSERT_TRUE(sent);

    std::map<std::size_t, std::vector<std::string>> answers;
    for (std::size_t at = 0; at < replies.size();) {
        const std::size_t colon = replies.find(": ", at);
        ASSERT_NE(colon, std::string::npos) << replies.substr(at);
        const std::string number = replies.substr(at, colon - at);
        ASSERT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            << "a reply without its number: " << replies.substr(at);
        const std::size_t id = std::stoul(number);
        ASSERT_TRUE(id >= 1 && id <= requests.size()) << replies.substr(at);
        const std::size_t end = replies.find(requests[id - 1].terminator, colon);
        ASSERT_NE(end, std::string::npos) << replies.substr(at);
        answers[id].push_back(replies.substr(colon + 2, end - colon - 2));
        at = end + 1;
    }
    for (std::size_t id = 1; id <= requests.size(); ++id) {
        EXPECT_EQ(answers[id], std::vector<std::string>{requests[id - 1].expected})
            << "request " << id;
    }

    // VERSION on a connection of its own: inside a session clamd writes a
    // VERSION reply's number and its text apart, and a scan's reply can
    // land between them.
    const std::string version = Ask(port_, std::string("zVERSION\0", 9));
    EXPECT_EQ(version.rfind("ClamAV ", 0), 0u) << version;
    EXPECT_NE(version.find("/6/"), std::string::npos)
        << "the daily database's version: " << version;

    // SHUTDOWN ends Debian's clamd, and the bridge with its exit code.
    Socket control = Connect(port_);
    ASSERT_TRUE(control && SendAll(control, std::string("zSHUTDOWN\0", 10)));
    ASSERT_EQ(WaitForSingleObject(bridge_.get(), kEndMs), WAIT_OBJECT_0);
    EXPECT_EQ(exitCode(), 0u) << bridgeOutput();
    EXPECT_TRUE(Eventually([this] { return !clamdRuns(); }, kEndMs));
}

TEST_F(ClamdBridge, TerminatingTheBridgeEndsDebiansClamd) {
    start();
    waitReady();
    ASSERT_TRUE(TerminateProcess(bridge_.get(), 1));
    ASSERT_EQ(WaitForSingleObject(bridge_.get(), kEndMs), WAIT_OBJECT_0);
    EXPECT_TRUE(Eventually([this] { return !clamdRuns(); }, kEndMs))
        << "Debian's clamd " << clamdPid_ << " outlived the bridge";
    EXPECT_FALSE(Connect(port_));
}

TEST_F(ClamdBridge, APortHeldByAnotherEndsTheBridgeAndItsClamd) {
    const Socket squatter = ListenOn(0);
    ASSERT_TRUE(squatter);
    startOn(PortOf(squatter));
    ASSERT_EQ(WaitForSingleObject(bridge_.get(), kStartMs), WAIT_OBJECT_0) << bridgeOutput();
    EXPECT_EQ(exitCode(), 1u);
    EXPECT_NE(bridgeOutput().find("bind()"), std::string::npos) << bridgeOutput();
    EXPECT_TRUE(ListenerOf(PortOf(squatter))) << "the port is still this test's";
    // Its clamd, named in its work folder, is gone with the folder; no
    // clamd reads this test's configuration any more.
    EXPECT_TRUE(Eventually(
        [this] {
            for (const auto& entry : fs::directory_iterator("Z:\\proc")) {
                const std::string name = entry.path().filename().string();
                if (name.find_first_not_of("0123456789") != std::string::npos) continue;
                std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
                std::string args((std::istreambuf_iterator<char>(cmdline)),
                                 std::istreambuf_iterator<char>());
                if (args.rfind("clamd", 0) == 0 && LinuxProcessRuns(name, "clamd") &&
                    args.find("tolvar-clamd-" + std::to_string(bridgePid_) + "-") !=
                        std::string::npos) {
                    return false;
                }
            }
            return true;
        },
        kEndMs));
}

}  // namespace
}  // namespace tolvar
