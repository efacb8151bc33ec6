// The user's exclusions, honoured by Debian's ClamAV behind the bridges:
// an excluded folder holding the EICAR file (written from its published
// string) is reported by neither engine, while the same file beside it is;
// an ignored detection name makes the next clamscan scan report the file
// clean. Every verdict is Debian ClamAV's own.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "core/folders.h"
#include "core/registry_win.h"
#include "debian_clamav.h"
#include "quarantine/allow_list_win.h"
#include "scan/excluded_folders.h"
#include "scan/scan_state.h"
#include "scan_fixture.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
// A name with blanks and characters a regular expression gives a meaning,
// and a neighbour whose name starts with it.
constexpr char kExcluded[] = "Skip Me (x86)+";
constexpr char kNeighbour[] = "Skip Me (x86)+1";

class ExclusionScans : public test::Scans {
protected:
    ExclusionScans() : daily_(Folders().DatabaseFolder + "daily.cvd") {
        // test-6.cvd detects the EICAR file as "Eicar-Test-Signature".
        const std::string database = test::ClamavTestFile("test-6.cvd");
        EXPECT_FALSE(database.empty()) << "test-6.cvd is missing; the build scripts fetch it";
        std::ofstream(daily_, std::ios::binary) << database;
        for (const fs::path& folder :
             {target() / "outside", target() / kExcluded / "deep", target() / kNeighbour}) {
            fs::create_directories(folder);
        }
        for (const fs::path& file :
             {target() / "outside" / "eicar.com", target() / kExcluded / "eicar.com",
              target() / kExcluded / "deep" / "eicar.com", target() / kNeighbour / "eicar.com"}) {
            std::ofstream(file, std::ios::binary) << kEicar;
        }
    }
    ~ExclusionScans() override {
        StoreExcludedFolders({});
        SetIgnoredNames(Folders().DatabaseFolder, {});
        std::error_code ignored;
        fs::remove(daily_, ignored);
    }

    fs::path target() const { return dir_ / "target"; }

    // The files the last scan listed, sorted.
    std::vector<std::string> detected() const {
        std::vector<std::string> listed;
        for (const InfectionRecord& row : view.rows)
            listed.push_back(row.FilePath);
        std::sort(listed.begin(), listed.end());
        return listed;
    }

    // Scans and waits: true when the scan completed without a failure.
    ::testing::AssertionResult scanned() {
        scan.StartOrResumeScan();
        if (!waitIdle(120000)) return ::testing::AssertionFailure() << "the scan did not end";
        if (!outcomes.failures.empty())
            return ::testing::AssertionFailure() << outcomes.failures.back();
        const std::string status = view.status.empty() ? "(none)" : view.status.back();
        if (status != "Scanning Complete")
            return ::testing::AssertionFailure() << "the scan ended with " << status;
        return ::testing::AssertionSuccess();
    }

    std::string daily_;
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Guards against a scan entering a folder the user excluded (by either
// engine, by the stored spelling in another case, through a name the
// expression language reads as an expression), and against an exclusion
// that also takes a neighbour whose name starts like it or a file beside
// it. The folder as a scan's own target is skipped whole.
TEST_F(ExclusionScans, AnExcludedFolderIsEnteredByNeitherEngine) {
    test::ScannerBridgeInstalled bridge;
    ASSERT_TRUE(bridge.installed());
    // Stored as a user might type it: another case, a closing slash.
    StoreExcludedFolders(ParseExcludedFolders(Upper((target() / kExcluded).string()) + "/"));
    const std::vector<std::string> expected = {(target() / kNeighbour / "eicar.com").string(),
                                               (target() / "outside" / "eicar.com").string()};

    scan.chooseEngine = nullptr;  // clamscan
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected(), expected);

    const std::uint16_t port = test::FreePort();
    const std::string config = path("clamd.conf");
    std::ofstream(config, std::ios::binary)
        << "TCPAddr 127.0.0.1\nTCPSocket " << port << "\nDatabaseDirectory "
        << Folders().DatabaseFolder << "\n";
    test::BridgedClamd clamd(config, port);
    ASSERT_TRUE(clamd.ready(120000)) << "Debian's clamd did not come up behind the bridge";
    scan.chooseEngine = [port] {
        return ScanEngineChoice{ClamdAddress{"127.0.0.1", port}, "ClamAV 1.4.6 daemon"};
    };
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected(), expected);

    // A target inside the excluded folder: nothing of it is scanned.
    scan.fixedDrives = [this] {
        return std::vector<std::string>{(target() / kExcluded / "deep").string() + "\\"};
    };
    ASSERT_TRUE(scanned());
    EXPECT_TRUE(detected().empty());
    scan.chooseEngine = nullptr;
    ASSERT_TRUE(scanned());
    EXPECT_TRUE(detected().empty());

    // Nothing excluded: every copy is found again.
    StoreExcludedFolders({});
    scan.fixedDrives = [this] { return std::vector<std::string>{target().string() + "\\"}; };
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected().size(), 4u);
}

// Guards against an excluded folder named beyond ASCII that clamscan's
// ASCII pattern (or the walk's comparison, in another case) misses, and
// against one that takes its neighbours named in ASCII.
TEST_F(ExclusionScans, AFolderNamedBeyondAsciiIsExcludedByBothEngines) {
    test::ScannerBridgeInstalled bridge;
    ASSERT_TRUE(bridge.installed());
    const fs::path named = target() / fs::u8path("Zo\xC3\xAB \xD1\x81\xD1\x87\xD1\x91\xD1\x82");
    const fs::path longer = target() / fs::u8path(
                                           "Zo\xC3\xAB \xD1\x81\xD1\x87\xD1\x91\xD1\x82"
                                           "2");
    const fs::path plain = target() / "Zoe";
    for (const fs::path& folder : {named, longer, plain}) {
        fs::create_directories(folder);
        std::ofstream(folder / "eicar.com", std::ios::binary) << kEicar;
    }
    // Stored in capitals: "ZOË СЧЁТ".
    StoreExcludedFolders(
        ParseExcludedFolders(target().string() + "\\ZO\xC3\x8B \xD0\xA1\xD0\xA7\xD0\x81\xD0\xA2"));
    ASSERT_EQ(LoadExcludedFolders().Folders().size(), 1u);
    const auto u8 = [](const fs::path& file) {
        const std::u8string text = file.u8string();
        return std::string(text.begin(), text.end());
    };
    std::vector<std::string> expected = {
        (target() / kNeighbour / "eicar.com").string(),
        (target() / kExcluded / "deep" / "eicar.com").string(),
        (target() / kExcluded / "eicar.com").string(),
        (target() / "outside" / "eicar.com").string(),
        u8(plain / "eicar.com"),
        u8(longer / "eicar.com"),
    };
    std::sort(expected.begin(), expected.end());

    scan.chooseEngine = nullptr;  // clamscan
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected(), expected);

    const std::uint16_t port = test::FreePort();
    const std::string config = path("clamd.conf");
    std::ofstream(config, std::ios::binary)
        << "TCPAddr 127.0.0.1\nTCPSocket " << port << "\nDatabaseDirectory "
        << Folders().DatabaseFolder << "\n";
    test::BridgedClamd clamd(config, port);
    ASSERT_TRUE(clamd.ready(120000)) << "Debian's clamd did not come up behind the bridge";
    scan.chooseEngine = [port] {
        return ScanEngineChoice{ClamdAddress{"127.0.0.1", port}, "ClamAV 1.4.6 daemon"};
    };
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected(), expected);
}

// Guards against an ignore list the scanner never honours (given after the
// signatures it should drop, or not at all), and against one that stays in
// force once the user emptied it.
TEST_F(ExclusionScans, AnIgnoredDetectionNameIsReportedCleanByTheNextScan) {
    test::ScannerBridgeInstalled bridge;
    ASSERT_TRUE(bridge.installed());
    scan.chooseEngine = nullptr;
    SetIgnoredNames(Folders().DatabaseFolder, {"Eicar-Test-Signature"});
    ASSERT_TRUE(scanned());
    EXPECT_TRUE(detected().empty());
    EXPECT_EQ(scan.Parser().ItemsScanned(), 4);

    SetIgnoredNames(Folders().DatabaseFolder, {});
    EXPECT_FALSE(fs::exists(Folders().DatabaseFolder + "local.ign2"));
    ASSERT_TRUE(scanned());
    EXPECT_EQ(detected().size(), 4u);
}

}  // namespace
}  // namespace tolvar
