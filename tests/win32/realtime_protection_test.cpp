// Real-time protection on real files in a watched folder: verdicts from
// Debian's clamd behind the clamd bridge (ClamAV's own test files, and the
// EICAR file by a hash signature of it), or from the stand-in clamd where a
// test counts what it was asked. Under Wine 8 changes inside subfolders that
// existed before the watch began are not reported (Windows reports them), so
// the files go into the watched folder itself and into new subfolders.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/folders.h"
#include "core/registry_win.h"
#include "debian_clamav.h"
#include "protection/clamd_file_check_win.h"
#include "protection/realtime_events_win.h"
#include "protection/realtime_protection_win.h"
#include "protection/realtime_setting_win.h"
#include "quarantine/vault.h"
#include "quarantine/vault_table.h"
#include "scan/clamd_daemon_win.h"
#include "scan_fixture.h"
#include "support/fake_clamd_win.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEicar =
    "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr const char* kCorpus = "Z:\\usr\\share\\clamav-testfiles";
constexpr const char* kMarker = "INFECTED-FOR-THE-TEST";

class Realtime : public test::Scans {
protected:
    Realtime() : watched_(dir_ / "watched") {
        fs::create_directories(watched_);
        StoreWatchedFolders({watched_.string()});
        StoreRealtimeWanted(true);
        std::error_code ignored;
        fs::remove(Folders().DataFolder + kRealtimeEventsFile, ignored);
        protection.onDetection = [this](const RealtimeEvent& event) { told.push_back(event); };
    }
    ~Realtime() override {
        protection.ShutDown();
        daemon.ShutDown();
        RegistryKey("engine").WriteText("");
        std::error_code ignored;
        for (const std::string& file : extraDatabases)
            fs::remove(file, ignored);
    }

    // The engine setting names the clamd at this port; the program's own
    // clamd is not started.
    void useClamdAt(std::uint16_t port) {
        RegistryKey("engine").WriteText("127.0.0.1:" + std::to_string(port));
        daemon.Apply();
        protection.Apply();
    }

    std::string write(const std::string& name, const std::string& content) {
        const fs::path at = watched_ / fs::u8path(name);
        fs::create_directories(at.parent_path());
        std::ofstream(at, std::ios::binary) << content;
        return at.string();
    }

    bool vaultHolds(const std::string& path) const {
        for (int k = 1; k <= Vault().Count(); ++k)
            if (Vault().Record(k).FilePath == path) return true;
        return false;
    }

    fs::path watched_;
    ClamdDaemon daemon;
    RealtimeProtection protection{daemon};
    std::vector<RealtimeEvent> told;
    std::vector<std::string> extraDatabases;
};

// Guards against a detection left where it landed, a clean file taken away,
// a quarantine without its vault record, and one that is not told: ClamAV's
// own test files and the EICAR file, each found by Debian's clamd, are
// quarantined with their records while the clean file beside them stays.
TEST_F(Realtime, DetectionsAreQuarantinedWithTheirRecordsAndCleanFilesStay) {
    const std::string database = test::ClamavTestFile("test-6.cvd");
    ASSERT_FALSE(database.empty());
    const std::string daily = Folders().DatabaseFolder + "daily.cvd";
    std::ofstream(daily, std::ios::binary) << database;
    extraDatabases.push_back(daily);
    // The EICAR file by its MD5 and size, in ClamAV's own hash format.
    const std::string eicarHdb = Folders().DatabaseFolder + "eicar.hdb";
    std::ofstream(eicarHdb, std::ios::binary)
        << "44d88612fea8a8f36de82e1278abb02f:68:Test.Eicar.Hash\n";
    extraDatabases.push_back(eicarHdb);

    const std::uint16_t port = test::FreePort();
    const std::string config = path("clamd.conf");
    std::ofstream(config, std::ios::binary)
        << "TCPAddr 127.0.0.1\nTCPSocket " << port << "\nDatabaseDirectory "
        << Folders().DatabaseFolder << "\n";
    test::BridgedClamd clamd(config, port);
    ASSERT_TRUE(clamd.ready(120000)) << "Debian's clamd did not come up behind the bridge";
    useClamdAt(port);
    ASSERT_TRUE(test::PumpUntil([this] { return protection.Active(); }, 5000))
        << protection.StateWords();
    const std::int32_t vaultBefore = Vault().Count();

    std::vector<std::string> infected;
    infected.push_back(write("eicar.com", kEicar));
    for (const char* name : {"clam.exe", "clam.zip", "clam.pdf"}) {
        std::ifstream in(fs::path(kCorpus) / name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(bytes.empty()) << name;
        infected.push_back(write(std::string("new folder\\") + name, bytes));
    }
    const std::string clean = write("letter.txt", "Dear Sir, nothing to find here.");

    ASSERT_TRUE(test::PumpUntil(
        [&] {
            return std::none_of(infected.begin(), infected.end(),
                                [](const std::string& file) { return fs::exists(file); });
        },
        30000));
    ASSERT_TRUE(test::PumpUntil([&] { return told.size() >= infected.size(); }, 10000));
    EXPECT_EQ(Vault().Count(), vaultBefore + static_cast<int>(infected.size()));
    for (const std::string& file : infected)
        EXPECT_TRUE(vaultHolds(file)) << file;
    test::PumpUntil([] { return false; }, 1500);  // the clean file's verdict came meanwhile
    EXPECT_TRUE(fs::exists(clean));
    EXPECT_EQ(told.size(), infected.size());

    const std::vector<RealtimeEvent> listed = LoadRealtimeEvents();
    ASSERT_EQ(listed.size(), infected.size());
    for (const RealtimeEvent& event : listed) {
        EXPECT_EQ(event.action, kActionQuarantined) << event.file;
        EXPECT_NE(std::find(infected.begin(), infected.end(), event.file), infected.end());
        // clamd names a signature of an unsigned database "unofficial".
        EXPECT_TRUE(event.detection == "Test.Eicar.Hash.UNOFFICIAL" ||
                    event.detection == "Clamav.Test.File-6")
            << event.detection;
    }
}

class RealtimeCounted : public Realtime {
protected:
    RealtimeCounted() {
        clamd.verdict = [](const std::string& path, const std::string& streamed) -> std::string {
            std::string content = streamed;
            if (path != "stream") {
                std::ifstream in(path, std::ios::binary);
                content.assign(std::istreambuf_iterator<char>(in), {});
            }
            return content.find(kMarker) != std::string::npos ? "Eicar-Test-Signature FOUND" : "OK";
        };
    }
    std::size_t asked(const std::string& file) const {
        const std::vector<std::string> scanned = clamd.Scanned();
        return static_cast<std::size_t>(std::count(scanned.begin(), scanned.end(), file));
    }
    test::FakeClamd clamd;
};

// Guards against a file scanned while it is still being written (a verdict
// on half a download), and against one scanned at each of its writes: a
// file written over three seconds is asked for once, after its writer
// closed it; the unchanged file is not asked for again when touched.
TEST_F(RealtimeCounted, AFileWrittenSlowlyIsScannedOnceAfterItsWriterClosesIt) {
    useClamdAt(clamd.Port());
    const std::string file = (watched_ / "slow.bin").string();
    {
        const UniqueHandle writer(CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(writer);
        for (int k = 0; k < 15; ++k) {
            DWORD wrote = 0;
            const std::string chunk(1000, static_cast<char>('a' + k));
            WriteFile(writer.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &wrote,
                      nullptr);
            FlushFileBuffers(writer.get());
            test::PumpUntil([] { return false; }, 200);
            EXPECT_EQ(asked(file), 0u) << "asked while the writer was at chunk " << k;
        }
    }
    ASSERT_TRUE(test::PumpUntil([&] { return asked(file) == 1; }, 10000));
    test::PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(asked(file), 1u);
    EXPECT_TRUE(fs::exists(file));
}

// Guards against files that arrive while no engine is loaded being lost:
// they wait, the state says so, and they are scanned once an engine is set.
TEST_F(RealtimeCounted, FilesThatArriveWithoutAnEngineWaitForIt) {
    RegistryKey("engine").WriteText("clamscan");
    daemon.Apply();
    protection.Apply();
    EXPECT_FALSE(protection.Active());
    EXPECT_EQ(protection.StateWords().rfind("Waiting for the scan engine", 0), 0u)
        << protection.StateWords();
    const std::string infected = write("setup.exe", std::string("MZ") + kMarker);
    test::PumpUntil([] { return false; }, 2000);
    EXPECT_TRUE(fs::exists(infected));
    EXPECT_TRUE(clamd.Scanned().empty());

    useClamdAt(clamd.Port());
    ASSERT_TRUE(test::PumpUntil([&] { return !fs::exists(infected); }, 10000));
    ASSERT_TRUE(test::PumpUntil([&] { return !told.empty(); }, 5000));
    EXPECT_EQ(told[0].file, infected);
    EXPECT_EQ(told[0].detection, "Eicar-Test-Signature");
    EXPECT_EQ(told[0].action, kActionQuarantined);
}

// Guards against a detection that could not be quarantined passing in
// silence: with the vault full the file stays, and the balloon and the list
// say it was found and not removed, and why.
TEST_F(RealtimeCounted, ADetectionTheVaultCannotTakeIsToldAsFoundNotRemoved) {
    auto full = std::make_unique<VaultTable>();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(
            full->Append(InfectionRecord{VaultFolder() + "x", "C:\\x" + std::to_string(i), "X "}));
    CommitVault(*full);
    useClamdAt(clamd.Port());
    const std::string infected = write("setup.exe", std::string("MZ") + kMarker);
    const bool told1 = test::PumpUntil([&] { return !told.empty(); }, 10000);
    CommitVault(VaultTable{});
    ASSERT_TRUE(told1);
    EXPECT_TRUE(fs::exists(infected));
    EXPECT_EQ(told[0].action, std::string(kActionNotRemoved) + ": the vault is full");
    const std::vector<RealtimeEvent> listed = LoadRealtimeEvents();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].action, told[0].action);
}

// Guards against a check that hangs the program's end while clamd reads a
// large file: a cancel ends it at once, as no verdict.
TEST_F(RealtimeCounted, ACancelledCheckEndsAtOnceWithoutAVerdict) {
    clamd.neverAnswer = true;
    const std::string file = write("big.iso", "contents");
    ClamdCheckCancel cancel;
    FileVerdict verdict;
    Thread checker([&](Thread&) {
        verdict = CheckFileWithClamd({"127.0.0.1", clamd.Port()}, file, false, 60000, cancel);
    });
    checker.start();
    ASSERT_TRUE(test::PumpUntil([&] { return asked(file) == 1; }, 5000));
    cancel.Cancel();
    EXPECT_TRUE(checker.waitFor(3000));
    EXPECT_EQ(verdict.kind, FileVerdict::Kind::NoEngine);
}

}  // namespace
}  // namespace tolvar
