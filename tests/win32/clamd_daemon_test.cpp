// The program's own clamd, against a stand-in clamd.exe (fake_clamd.exe,
// beside the test program) that opens its port only once "loaded", as
// clamd does: started with the configuration the program wrote into the
// data folder, trusted only when the port is its own, started again once
// after it dies, reloaded after an update, ended at shut-down and with the
// program that started it, killed or not. Also the stored settings that
// decide whether it runs, and a clamd at an address of the user's.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/folders.h"
#include "core/loopback_port_win.h"
#include "core/registry_win.h"
#include "fake_clamd_support.h"
#include "scan/clamd_client_win.h"
#include "scan/clamd_config.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "scan_fixture.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

void SetEnv(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

bool ProcessEnds(DWORD id, DWORD timeoutMs) {
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return !process || WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Kill(DWORD id) {
    ASSERT_NE(id, 0u);
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    ASSERT_TRUE(process);
    TerminateProcess(process.get(), 9);
    WaitForSingleObject(process.get(), 5000);
}

// Deletes the engine key's values, as on a computer where nobody set them.
void ForgetEngineSettings() {
    HKEY key = nullptr;
    const std::string path = std::string(kRegistryKey) + kEngineSubkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, nullptr);
        RegDeleteValueA(key, kKeepLoadedValue);
        RegCloseKey(key);
    }
}

class ClamdDaemonTest : public testing::Test {
protected:
    ClamdDaemonTest() {
        dir_ = fs::temp_directory_path() / "tolvar-clamd-test";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        record_ = (dir_ / "record.txt").string();
        versionFile_ = (dir_ / "version.txt").string();
        SetEnv("TOLVAR_FAKE_CLAMD_RECORD", record_);
        SetEnv("TOLVAR_FAKE_CLAMD_VERSION", versionFile_);
        SetEnv("TOLVAR_FAKE_CLAMD_LOAD_MS", "");
        SetEnv("TOLVAR_FAKE_CLAMD_SILENT", "");
        ForgetEngineSettings();
        options_.clamdExe = test::BesideTests("fake_clamd.exe");
        options_.pollMs = 100;
        options_.reloadLimitMs = 10000;
        // Wine names no listener's owner (fake_clamd_support.h); a test
        // below keeps Wine's table as it is.
        options_.listenerOwners = test::OwnersAsRecorded(record_);
        database_.emplace();
    }
    ~ClamdDaemonTest() override {
        ForgetEngineSettings();
        StoreKeepLoaded(false);
        for (const char* name : {"TOLVAR_FAKE_CLAMD_RECORD", "TOLVAR_FAKE_CLAMD_VERSION",
                                 "TOLVAR_FAKE_CLAMD_LOAD_MS", "TOLVAR_FAKE_CLAMD_SILENT"}) {
            SetEnv(name, "");
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::vector<std::string> recorded(const std::string& start) const {
        return test::RecordedLines(record_, start);
    }
    void setVersion(unsigned version) const { std::ofstream(versionFile_) << version; }
    // A fake clamd of its own on port, as another program (a second
    // antivirus, or one lying in wait) would run it.
    UniqueHandle startStranger(std::uint16_t port) const {
        const std::string config = (dir_ / ("stranger-" + std::to_string(port) + ".conf")).string();
        std::ofstream(config) << "TCPAddr 127.0.0.1\nTCPSocket " << port << "\n";
        std::string command = "\"" + options_.clamdExe + "\" --config-file=" + config;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(options_.clamdExe.c_str(), command.data(), nullptr, nullptr, FALSE,
                            CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
            return UniqueHandle();
        }
        CloseHandle(info.hThread);
        return UniqueHandle(info.hProcess);
    }
    static bool Answers(std::uint16_t port) {
        return AskClamd(ClamdAddress{"127.0.0.1", port}, "PING", 1000).reply == "PONG";
    }

    static bool WaitFor(ClamdDaemon& daemon, DaemonPhase phase, DWORD timeoutMs = 15000) {
        return test::PumpUntil([&] { return daemon.Status().phase == phase; }, timeoutMs);
    }

    fs::path dir_;
    std::string record_;
    std::string versionFile_;
    ClamdDaemonOptions options_;
    // clamd starts only with a database to load.
    std::optional<test::MainDatabase> database_;
};

// On a new install the database folder is empty until the first update:
// a clamd started then would end at once, twice, and stay off for good.
// It waits for the update instead, and starts when one has installed.
TEST_F(ClamdDaemonTest, WithoutADatabaseItWaitsForTheFirstUpdate) {
    database_.reset();
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Failed)) << daemon.Words().state;
    EXPECT_NE(daemon.Words().state.find("no virus database yet"), std::string::npos)
        << daemon.Words().state;
    EXPECT_TRUE(recorded("start ").empty());

    database_.emplace();
    daemon.Reload();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;
    EXPECT_EQ(recorded("start ").size(), 1u);
    daemon.ShutDown();
}

// Guards against a clamd that is started with the wrong configuration (on
// every network, without the vault excluded), against trusting a port
// before the check of its owner, and against a start that blocks.
TEST_F(ClamdDaemonTest, TheOwnClamdStartsWithItsConfigurationAndBecomesReady) {
    setVersion(27460);
    ClamdDaemon daemon(options_);
    int changes = 0;
    daemon.onChange = [&] { ++changes; };
    daemon.Apply();
    // Returned at once: the clamd has not even had time to listen.
    EXPECT_NE(daemon.Status().phase, DaemonPhase::Ready);
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;
    EXPECT_GT(changes, 0);

    const DaemonStatus& status = daemon.Status();
    ASSERT_TRUE(status.address);
    EXPECT_EQ(status.address->host, "127.0.0.1");
    ASSERT_TRUE(status.version);
    EXPECT_EQ(status.version->database, 27460u);
    EXPECT_EQ(daemon.Words().state, "ClamAV 1.4.6 daemon, ready");

    const ScanEngineChoice choice = daemon.ChooseEngine();
    EXPECT_EQ(choice.clamd, status.address);
    EXPECT_EQ(choice.name, "ClamAV 1.4.6 daemon");

    // Started as clamd.exe wants to be, with the file the program wrote.
    const std::string config = Folders().DataFolder + "clamd.conf";
    const std::vector<std::string> starts = recorded("start ");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], "start " + std::to_string(daemon.ProcessId()) +
                             " --foreground --config-file=" + config);
    std::ifstream in(config, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ClamdConfig expected;
    expected.port = status.address->port;
    expected.databaseFolder = Folders().DatabaseFolder;
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    expected.threads = info.dwNumberOfProcessors;
    expected.vaultFolder = Folders().DataFolder + kVaultFolderName;
    EXPECT_EQ(text.str(), ClamdConfigText(expected));

    const DWORD id = daemon.ProcessId();
    daemon.ShutDown();
    // Asked to end, and gone.
    EXPECT_EQ(recorded("command " + std::to_string(id) + " SHUTDOWN").size(), 1u);
    EXPECT_TRUE(ProcessEnds(id, 0));
    EXPECT_EQ(daemon.Status().phase, DaemonPhase::Off);
}

// Wine's table of listeners names no owner: the product does not take
// that for its own clamd (anyone may have bound the port), and says why.
TEST_F(ClamdDaemonTest, AListenerTheSystemDoesNotNameIsNotTrusted) {
    options_.listenerOwners = nullptr;
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(test::PumpUntil(
        [&] {
            return daemon.Status().phase != DaemonPhase::Loading &&
                   daemon.Status().phase != DaemonPhase::Off;
        },
        15000));
    EXPECT_EQ(daemon.Status().phase, DaemonPhase::Failed);
    EXPECT_NE(daemon.Words().state.find("does not name the program listening"), std::string::npos)
        << daemon.Words().state;
    EXPECT_FALSE(daemon.ChooseEngine().clamd);
    // Its clamd was not left running.
    ASSERT_EQ(recorded("start ").size(), 1u);
    const DWORD id = std::stoul(recorded("start ")[0].substr(6));
    EXPECT_TRUE(ProcessEnds(id, 5000));
}

// Guards against a scan sent to a clamd still loading its signatures (it
// does not listen yet) or one that takes connections and never answers.
TEST_F(ClamdDaemonTest, AClamdThatNeverAnswersPingLeavesClamscan) {
    for (const char* variable : {"TOLVAR_FAKE_CLAMD_LOAD_MS", "TOLVAR_FAKE_CLAMD_SILENT"}) {
        SCOPED_TRACE(variable);
        SetEnv(variable, variable == std::string("TOLVAR_FAKE_CLAMD_SILENT") ? "1" : "never");
        ClamdDaemon daemon(options_);
        daemon.Apply();
        ASSERT_TRUE(test::PumpUntil([&] { return daemon.ProcessId() != 0; }));
        test::PumpUntil([] { return false; }, 2500);
        EXPECT_EQ(daemon.Status().phase, DaemonPhase::Loading);
        EXPECT_EQ(daemon.Words().state.rfind("loading signatures", 0), 0u) << daemon.Words().state;
        EXPECT_EQ(daemon.Words().engine, "clamscan");
        const ScanEngineChoice choice = daemon.ChooseEngine();
        EXPECT_FALSE(choice.clamd);
        EXPECT_EQ(choice.name, "clamscan");
        const DWORD id = daemon.ProcessId();
        daemon.ShutDown();
        EXPECT_TRUE(ProcessEnds(id, 0));
        SetEnv(variable, "");
    }
}

// Guards against a clamd that died leaving scans without an engine (or a
// clamd started over and over, a gigabyte each time): one new start, and
// after a second death clamscan, with the reason in the window.
TEST_F(ClamdDaemonTest, ItIsStartedAgainOnceAfterItDiesAndThenLeftToClamscan) {
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;
    const DWORD first = daemon.ProcessId();
    Kill(first);
    ASSERT_TRUE(test::PumpUntil(
        [&] { return daemon.Status().phase == DaemonPhase::Ready && daemon.ProcessId() != first; },
        15000))
        << daemon.Words().state;
    EXPECT_TRUE(daemon.ChooseEngine().clamd);

    Kill(daemon.ProcessId());
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Failed)) << daemon.Words().state;
    EXPECT_EQ(
        daemon.Words().state.rfind("not available: clamscan is used (clamd.exe ended twice", 0), 0u)
        << daemon.Words().state;
    EXPECT_FALSE(daemon.ChooseEngine().clamd);
    test::PumpUntil([] { return false; }, 500);
    EXPECT_EQ(recorded("start ").size(), 2u);

    // Saving the settings gives it a new start.
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;
    EXPECT_EQ(recorded("start ").size(), 3u);
}

// clamd's socket asks no password: a program that bound the port while the
// clamd loaded would get every scanned path and give every verdict.
TEST_F(ClamdDaemonTest, APortAnotherProgramHoldsIsNotTrusted) {
    std::string error;
    const std::optional<std::uint16_t> port = FreeLoopbackPort(error);
    ASSERT_TRUE(port) << error;
    SetEnv("TOLVAR_FAKE_CLAMD_LOAD_MS", "0");
    const UniqueHandle stranger = startStranger(*port);
    ASSERT_TRUE(stranger);
    ASSERT_TRUE(test::PumpUntil([&] { return Answers(*port); }));
    const DWORD strangerId = GetProcessId(stranger.get());

    // The program's own clamd is still loading when the stranger answers.
    SetEnv("TOLVAR_FAKE_CLAMD_LOAD_MS", "never");
    options_.choosePort = [&](std::string&) { return port; };
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Failed)) << daemon.Words().state;
    EXPECT_NE(daemon.Words().state.find("held by another program (process " +
                                        std::to_string(strangerId) + ")"),
              std::string::npos)
        << daemon.Words().state;
    EXPECT_FALSE(daemon.ChooseEngine().clamd);
    // Never told to shut down: it is not the program's to tell.
    EXPECT_TRUE(recorded("command " + std::to_string(strangerId) + " SHUTDOWN").empty());
    TerminateProcess(stranger.get(), 0);
}

// Guards against scans that keep the old signatures after an update until
// the program is started again.
TEST_F(ClamdDaemonTest, AReloadAfterAnUpdateLoadsTheNewDatabaseWhileItAnswers) {
    setVersion(5);
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;
    EXPECT_EQ(daemon.Status().version->database, 5u);
    const DWORD id = daemon.ProcessId();

    setVersion(6);
    daemon.Reload();
    ASSERT_TRUE(test::PumpUntil([&] { return daemon.Status().reloading; }));
    // Scans go on meanwhile.
    EXPECT_TRUE(daemon.ChooseEngine().clamd);
    ASSERT_TRUE(test::PumpUntil([&] { return !daemon.Status().reloading; }, 15000));
    EXPECT_EQ(daemon.Status().version->database, 6u);
    EXPECT_EQ(daemon.ProcessId(), id);
    EXPECT_EQ(recorded("command " + std::to_string(id) + " RELOAD").size(), 1u);
}

// The stored settings decide whether a gigabyte is spent on a loaded
// engine: an unticked box or another engine setting starts nothing, and a
// damaged check box value reads as the default (ticked).
TEST_F(ClamdDaemonTest, TheStoredSettingsDecideWhetherItRuns) {
    ClamdDaemon daemon(options_);
    StoreKeepLoaded(false);
    daemon.Apply();
    test::PumpUntil([] { return false; }, 700);
    EXPECT_EQ(daemon.Status().phase, DaemonPhase::Off);
    EXPECT_EQ(daemon.Words().state,
              std::string("not available: clamscan is used (") + kNotKeptLoaded + ")");

    StoreKeepLoaded(true);
    StoreEngineSetting("clamscan");
    daemon.Apply();
    test::PumpUntil([] { return false; }, 700);
    EXPECT_EQ(daemon.Status().phase, DaemonPhase::Off);
    EXPECT_TRUE(recorded("start ").empty());

    // A text where a number belongs, as a registry editor can leave it.
    StoreEngineSetting("");
    const char zero[] = "0";
    {
        RegistryKey key(kEngineSubkey);
        HKEY raw = nullptr;
        const std::string path = std::string(kRegistryKey) + kEngineSubkey;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, &raw),
                  ERROR_SUCCESS);
        RegSetValueExA(raw, kKeepLoadedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(zero),
                       sizeof zero);
        RegCloseKey(raw);
    }
    EXPECT_TRUE(LoadKeepLoaded());
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Ready)) << daemon.Words().state;

    // Unticked while it runs: it is ended.
    const DWORD id = daemon.ProcessId();
    StoreKeepLoaded(false);
    daemon.Apply();
    ASSERT_TRUE(WaitFor(daemon, DaemonPhase::Off));
    EXPECT_TRUE(ProcessEnds(id, 5000));

    // Without clamd.exe beside the scanner, nothing to start.
    StoreKeepLoaded(true);
    options_.clamdExe = (dir_ / "clamd.exe").string();
    ClamdDaemon missing(options_);
    missing.Apply();
    test::PumpUntil([] { return false; }, 500);
    EXPECT_EQ(missing.Status().phase, DaemonPhase::Off);
    EXPECT_EQ(missing.Status().reason, kNoClamdExe);
}

// An office's clamd (or a ClamAV service on this computer) at the
// setting's address: used while it answers, and clamscan with the reason
// when it does not.
TEST_F(ClamdDaemonTest, AnAddressOfTheUsersIsAskedAtEachScan) {
    std::string error;
    const std::optional<std::uint16_t> port = FreeLoopbackPort(error);
    ASSERT_TRUE(port) << error;
    SetEnv("TOLVAR_FAKE_CLAMD_LOAD_MS", "0");
    const UniqueHandle server = startStranger(*port);
    ASSERT_TRUE(server);
    ASSERT_TRUE(test::PumpUntil([&] { return Answers(*port); }));

    StoreEngineSetting("127.0.0.1:" + std::to_string(*port));
    ClamdDaemon daemon(options_);
    daemon.Apply();
    ASSERT_TRUE(test::PumpUntil([&] { return daemon.Remote().asked; }));
    EXPECT_EQ(daemon.Words().state, "ClamAV 1.4.6 daemon, ready");
    const ScanEngineChoice choice = daemon.ChooseEngine();
    EXPECT_EQ(choice.clamd, (ClamdAddress{"127.0.0.1", *port}));
    EXPECT_EQ(choice.name, "ClamAV 1.4.6 daemon");
    // The program's own is not started beside it.
    EXPECT_EQ(recorded("start ").size(), 1u);
    EXPECT_EQ(daemon.Status().reason, kNotAutomatic);

    TerminateProcess(server.get(), 0);
    WaitForSingleObject(server.get(), 5000);
    EXPECT_FALSE(daemon.ChooseEngine().clamd);
    EXPECT_EQ(
        daemon.Words().state.rfind("not available: clamscan is used (the clamd at 127.0.0.1:" +
                                       std::to_string(*port) + " did not answer",
                                   0),
        0u)
        << daemon.Words().state;
}

// In another process: starts the program's own clamd, records its process
// id in the file TOLVAR_CLAMD_OWNER_RECORD names, and waits to be killed.
TEST(ClamdOwnerChild, DISABLED_StartsTheClamdAndWaits) {
    char record[MAX_PATH] = "";
    ASSERT_GT(GetEnvironmentVariableA("TOLVAR_CLAMD_OWNER_RECORD", record, sizeof record), 0u);
    ClamdDaemonOptions options;
    options.clamdExe = test::BesideTests("fake_clamd.exe");
    options.pollMs = 100;
    // This process's start stored the box unticked, as for every test.
    StoreKeepLoaded(true);
    ClamdDaemon daemon(options);
    daemon.Apply();
    ASSERT_TRUE(test::PumpUntil([&] { return daemon.ProcessId() != 0; }, 15000));
    std::ofstream(record) << daemon.ProcessId() << "\n";
    Sleep(INFINITE);
}

// Guards against a clamd (a gigabyte, holding a port) left running after a
// program that was killed, crashed or ended by Task Manager.
TEST_F(ClamdDaemonTest, TheClamdEndsWithAProgramThatIsKilled) {
    const std::string ownerRecord = (dir_ / "owner.txt").string();
    const UniqueHandle owner =
        test::StartThisProgram("ClamdOwnerChild.*", "TOLVAR_CLAMD_OWNER_RECORD", ownerRecord);
    ASSERT_TRUE(owner);
    DWORD id = 0;
    ASSERT_TRUE(test::PumpUntil(
        [&] {
            std::ifstream(ownerRecord) >> id;
            return id != 0;
        },
        30000));
    ASSERT_FALSE(ProcessEnds(id, 0));
    TerminateProcess(owner.get(), 9);
    WaitForSingleObject(owner.get(), 10000);
    EXPECT_TRUE(ProcessEnds(id, 10000));
}

}  // namespace
}  // namespace tolvar
