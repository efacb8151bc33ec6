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
#include "debian_clamav.h"
#include "scan/scan_state.h"
#include "scan_fixture.h"
#include "support/fake_clamd_win.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::BridgedClamd;
using test::FreePort;
using test::ScannerBridgeInstalled;

constexpr const char* kCorpus = "Z:\\usr\\share\\clamav-testfiles";

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
