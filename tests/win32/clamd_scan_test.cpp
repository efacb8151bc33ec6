// Whole scans through a clamd: the session against a stand-in clamd
// (tests/support/fake_clamd_win.h) that answers out of order, late, never,
// with errors, cuts the connection or stops an oversized stream as clamd
// does. The scan must show and record what the answers say, exactly as the
// scanner's report would, and end (or fail) as they say.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/registry_win.h"
#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "scan/tree_lister_win.h"
#include "scan_fixture.h"
#include "support/fake_clamd_win.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDaemonName = "ClamAV 1.4.6 daemon";
constexpr const char* kMarker = "INFECTED-FOR-THE-TEST";

class ClamdScans : public test::Scans {
protected:
    ClamdScans() { useClamd("127.0.0.1", clamd); }

    void useClamd(const std::string& host, test::FakeClamd& daemon) {
        scan.chooseEngine = [host, &daemon] {
            return ScanEngineChoice{ClamdAddress{host, daemon.Port()}, kDaemonName};
        };
        // A file is infected when it holds the marker; clamd reads the path
        // it is sent, or the bytes it is streamed.
        daemon.verdict = [](const std::string& path, const std::string& streamed) -> std::string {
            std::string content = streamed;
            if (path != "stream") {
                std::ifstream in(path, std::ios::binary);
                content.assign(std::istreambuf_iterator<char>(in), {});
            }
            return content.find(kMarker) != std::string::npos ? "Eicar-Test-Signature FOUND" : "OK";
        };
    }

    // A file below the target folder, its folders made.
    // A file below the target folder, its folders made; its path as the
    // program names it (UTF-8).
    std::string file(const std::string& name, const std::string& content = "clean") {
        const fs::path at = dir_ / "target" / fs::u8path(name);
        fs::create_directories(at.parent_path());
        std::ofstream(at, std::ios::binary) << content;
        return dir_.string() + "\\target\\" + name;
    }

    std::vector<std::string> files(int n, const std::string& folder = "many") {
        std::vector<std::string> made;
        for (int i = 0; i < n; ++i)
            made.push_back(file(folder + "\\f" + std::to_string(i) + ".txt"));
        return made;
    }

    static std::vector<std::string> sorted(std::vector<std::string> list) {
        std::sort(list.begin(), list.end());
        return list;
    }

    bool statusSeen(const std::string& text) const {
        return std::find(view.status.begin(), view.status.end(), text) != view.status.end();
    }

    test::FakeClamd clamd;
};

// Guards against matching replies by their order or their path, counting an
// empty file's two replies twice, and a list that shows the path clamd
// resolved instead of the one the program sent (the removal acts on it).
TEST_F(ClamdScans, RepliesOutOfOrderGiveEachFileItsOwnVerdictCountedOnce) {
    const std::string infected = file("sub\\deep\\b.exe", std::string("x") + kMarker);
    // A name in several scripts goes as UTF-8, as clamd on Windows reads it.
    std::vector<std::string> sent = {file("a.txt"), infected,
                                     file("sub\\\xc3\xbc"
                                          "ber \xd0\xb6\xe6\x96\x87.txt"),
                                     file("empty.txt", "")};
    for (const std::string& more : files(6))
        sent.push_back(more);
    clamd.reverseOrder = true;
    clamd.resolvedPath = [](const std::string& path) { return "\\\\?\\" + path; };
    const auto plain = clamd.verdict;
    clamd.verdict = [plain](const std::string& path, const std::string& streamed) {
        return path.find("empty.txt") != std::string::npos ? std::string("Empty file\nOK")
                                                           : plain(path, streamed);
    };

    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(sorted(clamd.Scanned()), sorted(sent));  // every file, once, by its full path
    const ReportParser& p = scan.Parser();
    EXPECT_EQ(p.ItemsScanned(), 9);
    ASSERT_EQ(p.InfectionCount(), 1);
    EXPECT_EQ(p.Table()[0].FilePath, infected);
    EXPECT_EQ(p.Table()[0].VirusName, "Eicar-Test-Signature ");
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, infected);
    EXPECT_EQ(view.items.back(), 9);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
    EXPECT_EQ(view.percent.back(), "100%");
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().LastItemsScanned(), 9);
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);
    // One session, ended as clamd asks, and the engine noted for the demo.
    EXPECT_EQ(clamd.Sessions(), 1);
    EXPECT_EQ(clamd.Commands().front(), "IDSESSION");
    EXPECT_EQ(clamd.Commands().back(), "END");
    EXPECT_EQ(RegistryKey("engine").ReadText("LastScanEngine"), kDaemonName);
}

// Guards against a scan that calls itself complete when clamd could not
// read some files, and against the exact progress running backwards or past
// its end.
TEST_F(ClamdScans, AnErrorReplyEndsWithSomeItemsCouldNotBeRead) {
    files(5);
    const std::string locked = file("locked.dat");
    const auto plain = clamd.verdict;
    clamd.verdict = [plain, locked](const std::string& path, const std::string& streamed) {
        return path == locked ? std::string("Can't open file or directory ERROR")
                              : plain(path, streamed);
    };
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(scan.Parser().ItemsScanned(), 5);
    EXPECT_EQ(view.status.back(), "Scanning Complete (some items could not be read)");
    EXPECT_EQ(outcomes.noInfections, 1);
    EXPECT_TRUE(outcomes.failures.empty());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
}

// Guards against a scan whose clamd went away mid-way being shown as a
// finished one: it fails, and says why.
TEST_F(ClamdScans, AConnectionDroppedMidScanFailsTheScanWithItsReason) {
    files(12);
    clamd.delayMs = 3000;
    clamd.dropAfterRequests = 3;
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("broke off"), std::string::npos) << outcomes.failures[0];
    EXPECT_NE(outcomes.failures[0].find("127.0.0.1"), std::string::npos) << outcomes.failures[0];
    EXPECT_EQ(view.status.back(), "Scanning Failed");
    EXPECT_FALSE(statusSeen("Scanning Complete"));
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);  // nothing found: not recorded
}

// Guards against a clamd that cannot be reached leaving the scan
// "scanning" for ever.
TEST_F(ClamdScans, AClamdThatIsNotThereFailsTheScanAtOnce) {
    files(2);
    std::uint16_t port = 0;
    {
        test::FakeClamd gone;
        port = gone.Port();
    }
    scan.chooseEngine = [port] {
        return ScanEngineChoice{ClamdAddress{"127.0.0.1", port}, kDaemonName};
    };
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("could not be reached"), std::string::npos);
    EXPECT_EQ(view.status.back(), "Scanning Failed");
}

// Guards against a pause that keeps sending, a pause that stops reading
// (clamd drops a session whose replies wait), and a resume that loses what
// was in flight.
TEST_F(ClamdScans, PauseSendsNothingNewWhileWhatIsInFlightIsAnsweredAndResumeGoesOn) {
    // More files than a session keeps in flight.
    files(100);
    clamd.delayMs = 200;
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return clamd.Scanned().size() >= 2; }));
    scan.PauseScan();
    EXPECT_EQ(ScanState, "paused");
    // What was in flight is answered and read while paused.
    ASSERT_TRUE(test::PumpUntil([this] { return clamd.Waiting() == 0; }));
    const std::size_t sent = clamd.Scanned().size();
    test::PumpUntil([] { return false; }, 800);
    EXPECT_EQ(clamd.Scanned().size(), sent);
    EXPECT_LT(sent, 100u);
    EXPECT_EQ(clamd.Sessions(), 1);

    clamd.delayMs = 0;
    scan.ResumeScan();
    ASSERT_TRUE(waitIdle(30000));
    EXPECT_EQ(clamd.Scanned().size(), 100u);
    EXPECT_EQ(scan.Parser().ItemsScanned(), 100);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
}

// Guards against losing the requests clamd dropped when a long pause ran
// past its ReadTimeout (it ends the session), or failing the scan for it:
// resume opens a new session and sends them again.
TEST_F(ClamdScans, APausePastClamdsReadTimeoutResumesInANewSessionWithNothingLost) {
    files(20);
    clamd.delayMs = 1500;  // longer than the time-out: the pause's requests are dropped
    clamd.readTimeoutMs = 700;
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return clamd.Scanned().size() >= 2; }));
    scan.PauseScan();
    test::PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(ScanState, "paused");
    EXPECT_TRUE(outcomes.failures.empty());

    clamd.readTimeoutMs = 0;
    clamd.delayMs = 0;
    scan.ResumeScan();
    ASSERT_TRUE(waitIdle(30000));
    EXPECT_TRUE(outcomes.failures.empty()) << outcomes.failures[0];
    EXPECT_GE(clamd.Sessions(), 2);
    EXPECT_EQ(scan.Parser().ItemsScanned(), 20);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
}

// Guards against a Stop that waits for a clamd that does not answer, and
// one that leaves clamd scanning the session's queue for nobody.
TEST_F(ClamdScans, StopWithRequestsInFlightEndsAtOnceAndTellsClamd) {
    files(10);
    clamd.neverAnswer = true;
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return clamd.Scanned().size() >= 2; }));
    scan.StopScan();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_FALSE(scan.ScannerRunning());
    EXPECT_EQ(view.status.back(), "Scanning Stopped");
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(outcomes.windowsShown(), 1);
    ASSERT_TRUE(test::PumpUntil([this] { return clamd.EndsReceived() == 1; }));
    test::PumpUntil([] { return false; }, 300);  // nothing more arrives
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(outcomes.windowsShown(), 1);
}

// Guards against a clamd on another computer being sent paths it cannot
// open, against a broken chunk framing, and against a file over its size
// limit ending the scan or counting as scanned: it is not read, the
// connection clamd closed is opened again and the other files go on.
TEST_F(ClamdScans, ARemoteClamdIsStreamedTheFilesAndAnOversizedOneIsNotRead) {
    const std::string own = test::OwnNetworkAddress();
    ASSERT_FALSE(own.empty()) << "this computer has no address but its loopback";
    test::FakeClamd remote(true);
    useClamd(own, remote);
    remote.streamLimit = 100 * 1024;
    std::string big(300 * 1024, 'b');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 251);
    const std::vector<std::string> contents = {"small one", std::string("zz") + kMarker,
                                               std::string(70 * 1024, 'm') + "end",
                                               std::string("\0\1\2\3", 4)};
    file("a.txt", contents[0]);
    const std::string infected = file("sub\\b.exe", contents[1]);
    file("sub\\c.bin", contents[2]);
    file("d.bin", contents[3]);
    file("big.iso", big);
    files(6);

    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle(30000));
    EXPECT_TRUE(remote.Scanned().empty());  // no path crossed over
    const std::vector<std::string> streams = remote.Streams();
    for (const std::string& content : contents)
        EXPECT_NE(std::find(streams.begin(), streams.end(), content), streams.end());
    EXPECT_EQ(std::find(streams.begin(), streams.end(), big), streams.end());
    EXPECT_GE(remote.Sessions(), 2);  // the close after the limit, then on
    EXPECT_EQ(scan.Parser().ItemsScanned(), 9);
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, infected);
    EXPECT_EQ(view.status.back(), "Scanning Complete (some items could not be read)");
    EXPECT_TRUE(outcomes.failures.empty());
}

// Guards against the two engines counting the same answers differently:
// the same tree, the same verdicts, through the scanner's report and
// through clamd, give the same figures, list and record.
TEST_F(ClamdScans, TheSameTreeGivesTheSameFiguresThroughEitherEngine) {
    const std::string a = file("a.txt");
    const std::string b = file("sub\\b.exe", std::string("x") + kMarker);
    const std::string c = file("sub\\deep\\c.txt");
    const std::string d = file("sub\\deep\\d.com", std::string("y") + kMarker);
    const auto escaped = [](std::string path) {
        std::string out;
        for (const char ch : path)
            out += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        return out;
    };
    script({"out " + escaped(a) + ": OK\\n",
            "out " + escaped(b) + ": Eicar-Test-Signature FOUND\\n",
            "out " + escaped(c) + ": OK\\n",
            "out " + escaped(d) + ": Eicar-Test-Signature FOUND\\n", "exit 1"});
    scan.chooseEngine = nullptr;  // clamscan
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(RegistryKey("engine").ReadText("LastScanEngine"), "clamscan");
    const std::int32_t items = scan.Parser().ItemsScanned();
    const std::int32_t found = scan.Parser().InfectionCount();
    std::vector<std::string> listed;
    for (const InfectionRecord& row : view.rows)
        listed.push_back(row.FilePath + "|" + row.VirusName);
    ASSERT_EQ(found, 2);

    useClamd("127.0.0.1", clamd);
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(scan.Parser().ItemsScanned(), items);
    EXPECT_EQ(scan.Parser().InfectionCount(), found);
    std::vector<std::string> listedThroughClamd;
    for (const InfectionRecord& row : view.rows)
        listedThroughClamd.push_back(row.FilePath + "|" + row.VirusName);
    EXPECT_EQ(sorted(listedThroughClamd), sorted(listed));
    EXPECT_EQ(Statistics().LastItemsScanned(), items);
    EXPECT_EQ(Statistics().LastInfectionsFound(), found);
    EXPECT_EQ(view.status.back(), "Scanning Complete");
}

// Guards against a walk that lists one folder twice or skips a folder
// because two told-apart folders read as one: the identity the walk keeps
// to end a loop through a link the server follows itself.
TEST_F(ClamdScans, AFolderHasOneIdentityWhicheverPathNamesIt) {
    file("sub\\a.txt");
    file("other\\b.txt");
    FindTreeLister lister;
    const std::string target = dir_.string() + "\\target\\";
    const auto sub = lister.FolderIdentity(target + "sub\\");
    ASSERT_TRUE(sub.has_value());
    EXPECT_EQ(lister.FolderIdentity(target + "other\\..\\sub\\"), sub);
    EXPECT_NE(lister.FolderIdentity(target + "other\\"), sub);
    EXPECT_NE(lister.FolderIdentity(target), sub);
    EXPECT_FALSE(lister.FolderIdentity(target + "gone\\").has_value());
}

}  // namespace
}  // namespace tolvar
