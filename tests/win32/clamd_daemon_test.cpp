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
#include "scan/clamd_client_win.h"
#include "scan/clamd_config.h"
#include "scan/clamd_daemon_win.h"
#include "scan/engine_setting.h"
#include "test_support.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

std::string BesideTests(const std::string& name) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return (fs::path(self).parent_path() / name).string();
}

void SetEnv(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

bool ProcessEnds(DWORD id, DWORD timeoutMs) {
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return !process || WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Kill(DWORD id) {
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
        options_.clamdExe = BesideTests("fake_clamd.exe");
        options_.pollMs = 100;
        options_.reloadLimitMs = 10000;
    }
    ~ClamdDaemonTest() override {
        ForgetEngineSettings();
        for (const char* name : {"TOLVAR_FAKE_CLAMD_RECORD", "TOLVAR_FAKE_CLAMD_VERSION",
                                 "TOLVAR_FAKE_CLAMD_LOAD_MS", "TOLVAR_FAKE_CLAMD_SILENT"}) {
            SetEnv(name, "");
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::vector<std::string> recorded(const std::string& start) const {
        std::ifstream in(record_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.rfind(start, 0) == 0) lines.push_back(line);
        return lines;
    }
    void setVersion(unsigned version) const { std::ofstream(versionFile_) << version; }

    static bool WaitFor(ClamdDaemon& daemon, DaemonPhase phase, DWORD timeoutMs = 15000) {
        return test::PumpUntil([&] { return daemon.Status().phase == phase; }, timeoutMs);
    }

    fs::path dir_;
    std::string record_;
    std::string versionFile_;
    ClamdDaemonOptions options_;
};

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

}  // namespace
}  // namespace tolvar
