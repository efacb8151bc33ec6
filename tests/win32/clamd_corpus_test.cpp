// ClamAV's own test corpus (Debian's clamav-testfiles: 44 files in 44
// formats, each detected by test-6.cvd as "Clamav.Test.File-6") scanned by
// the program through both engines with Debian's ClamAV behind the bridges:
// clamscan behind the scanner bridge, clamd behind the clamd bridge, asked
// for paths as on this computer and streamed the bytes as a clamd on
// another computer is. Every verdict is Debian ClamAV's own.

#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/folders.h"
#include "core/tcp_connection_win.h"
#include "scan/clamd_client_win.h"
#include "scan/clamscan_run_win.h"
#include "scan/scan_state.h"
#include "scan_fixture.h"
#include "scanner_bridge_installed.h"
#include "support/fake_clamd_win.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCorpus = "Z:\\usr\\share\\clamav-testfiles";

// A loopback port nobody listens on now.
std::uint16_t FreePort() {
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

class CorpusScans : public test::Scans {
protected:
    CorpusScans() : daily_(Folders().DatabaseFolder + "daily.cvd") {
        const std::string database = test::ClamavTestFile("test-6.cvd");
        EXPECT_FALSE(database.empty()) << "test-6.cvd is missing; the build scripts fetch it";
        std::ofstream(daily_, std::ios::binary) << database;
        fs::create_directories(dir_ / "target" / "corpus");
        for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus))
            fs::copy_file(entry.path(), dir_ / "target" / "corpus" / entry.path().filename());
    }
    ~CorpusScans() override {
        std::error_code ignored;
        fs::remove(daily_, ignored);
    }

    // What the last scan listed: each detection's path and name, sorted.
    std::vector<std::string> detections() const {
        std::vector<std::string> listed;
        for (const InfectionRecord& row : view.rows)
            listed.push_back(row.FilePath + "|" + row.VirusName);
        std::sort(listed.begin(), listed.end());
        return listed;
    }

    std::string daily_;
};

// Guards against the clamd engine missing or adding detections the scanner
// makes on the same files: an archive, a packed program or a mail that one
// engine opens and the other does not, a path that does not reach clamd as
// sent (or whose reply is not matched back), or bytes streamed wrong.
TEST_F(CorpusScans, ClamavsTestCorpusGivesTheSameDetectionsThroughClamdAsThroughClamscan) {
    test::ScannerBridgeInstalled bridge;
    ASSERT_TRUE(bridge.installed());
    scan.chooseEngine = nullptr;  // clamscan
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    ASSERT_EQ(view.status.back(), "Scanning Complete") << outcomes.failures.size();
    const std::vector<std::string> byClamscan = detections();
    const std::int32_t itemsByClamscan = scan.Parser().ItemsScanned();
    ASSERT_EQ(byClamscan.size(), 44u);
    for (const std::string& detection : byClamscan)
        EXPECT_NE(detection.find("|Clamav.Test.File-6 "), std::string::npos) << detection;

    const std::uint16_t port = FreePort();
    const std::string config = path("clamd.conf");
    std::ofstream(config, std::ios::binary)
        << "TCPAddr 0.0.0.0\nTCPSocket " << port << "\nDatabaseDirectory "
        << Folders().DatabaseFolder << "\n";
    BridgedClamd clamd(config, port);
    ASSERT_TRUE(clamd.ready(120000)) << "Debian's clamd did not come up behind the bridge";

    // Paths, as to a clamd on this computer.
    scan.chooseEngine = [port] {
        return ScanEngineChoice{ClamdAddress{"127.0.0.1", port}, "ClamAV 1.4.6 daemon"};
    };
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    EXPECT_TRUE(outcomes.failures.empty()) << outcomes.failures.back();
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(detections(), byClamscan);
    EXPECT_EQ(scan.Parser().ItemsScanned(), itemsByClamscan);

    // The bytes, as to a clamd on another computer.
    const std::string own = test::OwnNetworkAddress();
    ASSERT_FALSE(own.empty());
    scan.chooseEngine = [own, port] {
        return ScanEngineChoice{ClamdAddress{own, port}, "ClamAV 1.4.6 daemon"};
    };
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(120000));
    EXPECT_TRUE(outcomes.failures.empty()) << outcomes.failures.back();
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(detections(), byClamscan);
    EXPECT_EQ(scan.Parser().ItemsScanned(), itemsByClamscan);
}

}  // namespace
}  // namespace tolvar
