// The program's own clamd as the lab runs it: the clamd bridge beside the
// tests as clamd.exe, in front of Debian's clamd, loading ClamAV's signed
// test databases. After an update that put a newer daily database in the
// folder, the reload has the running clamd report the new version.

#include <gtest/gtest.h>

#include <windows.h>
// (apart, so that sorting keeps the order)
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ascii_text.h"
#include "core/loopback_port_win.h"
#include "fake_clamd_support.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

void Put(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

TEST(ClamdThroughTheBridge, AReloadAfterAnUpdateLoadsTheNewDatabase) {
    const std::string bridge = test::BesideTests("bin\\snr\\1\\9\\clamd.exe");
    if (!fs::exists(bridge)) GTEST_SKIP() << "no clamd bridge beside the tests";
    const std::string older = test::ClamavTestFile("test-5.cvd");
    const std::string newer = test::ClamavTestFile("test-6.cvd");
    ASSERT_FALSE(older.empty() || newer.empty()) << "ClamAV's test databases are missing";

    const fs::path db = fs::temp_directory_path() / "tolvar-clamd-reload-db";
    fs::remove_all(db);
    fs::create_directories(db);
    Put(db / "daily.cvd", older);

    StoreKeepLoaded(true);
    ClamdDaemonOptions options;
    options.clamdExe = bridge;
    options.databaseFolder = db.string() + "\\";
    options.pollMs = 200;
    options.reloadLimitMs = 60000;
    // Wine names no listener's owner; the one it leaves out is taken to be
    // this process's clamd.exe, as the system's list of processes shows it.
    options.listenerOwners = test::OwnersAsOwnClamdChild;
    ClamdDaemon daemon(options);
    daemon.Apply();
    const bool ready = test::PumpUntil(
        [&] {
            return daemon.Status().phase == DaemonPhase::Ready ||
                   daemon.Status().phase == DaemonPhase::Failed;
        },
        90000);
    StoreKeepLoaded(false);
    ASSERT_TRUE(ready) << daemon.Words().state;
    ASSERT_EQ(daemon.Status().phase, DaemonPhase::Ready) << daemon.Words().state;
    ASSERT_TRUE(daemon.Status().version);
    EXPECT_EQ(daemon.Status().version->database, 5u);

    // What an update leaves: the newer daily database in the older's place.
    Put(db / "daily.cvd", newer);
    daemon.Reload();
    EXPECT_TRUE(test::PumpUntil(
        [&] {
            return !daemon.Status().reloading && daemon.Status().version &&
                   daemon.Status().version->database == 6u;
        },
        90000))
        << daemon.Words().state;
    const DWORD id = daemon.ProcessId();
    daemon.ShutDown();
    const UniqueHandle gone(OpenProcess(SYNCHRONIZE, FALSE, id));
    EXPECT_TRUE(!gone || WaitForSingleObject(gone.get(), 10000) == WAIT_OBJECT_0);
    std::error_code ignored;
    fs::remove_all(db, ignored);
}

}  // namespace
}  // namespace tolvar
