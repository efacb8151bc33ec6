// Updates through ClamAV's updater: Debian's freshclam, behind the freshclam
// bridge installed as bin\snr\1\9\freshclam.exe beside this program, against
// the test mirror serving ClamAV's own signed test databases. A first
// download installs and counts; a patch update applies the patches; "up to
// date" counts nothing; a refusal, a rate limit, a mirror that is down and a
// damaged file leave the live databases byte for byte, count nothing and
// say why; a cool-down holds back the next run; Cancel and Alt+F4 end the
// updater; a proxy gets its login.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "access_lists.h"
#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "download_windows.h"
#include "scan/scan_state.h"
#include "test_mirror.h"
#include "updates/cool_down_store.h"
#include "updates/database_files.h"
#include "updates/database_updater_win.h"
#include "updates/freshclam_job_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

using test::Click;
using test::Content;

// The database folder's files (not freshclam's own record of its mirror)
// with their content.
std::map<std::string, std::string> DatabaseFiles() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(Folders().DatabaseFolder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "freshclam.dat") {
            files[name] = Content(entry.path().string());
        }
    }
    return files;
}

class FreshclamUpdates : public testing::Test, protected test::DownloadWindows {
protected:
    FreshclamUpdates() {
        ScanState = scan_state::kIdle;
        saved_ = Settings();
        savedMirror_ = RegistryKey("mirror").ReadText();
        // No mirror of the user's own: the updater does the update.
        RegistryKey("mirror").WriteText("");
        RegistryKey("cooldown").WriteText("");
        ClearDatabaseFolder();
        Settings().SetLastUpdateDate(TodaySerial() - 100);
        Settings().SetTotalUpdates(3);
        Settings().SetLastUpdateSize(777);
        Settings().SetUseProxy(false);
        if (mirror.available()) {
            SetEnvironmentVariableA("TOLVAR_FRESHCLAM_MIRROR",
                                    ("http://" + mirror.address()).c_str());
        }
    }
    ~FreshclamUpdates() override {
        if (form8.visible()) form8.close();
        test::PumpUntil([this] { return !form8.Downloading(); }, 20000);
        SetEnvironmentVariableA("TOLVAR_FRESHCLAM_MIRROR", nullptr);
        SetEnvironmentVariableA("TOLVAR_FRESHCLAM_ARGS", nullptr);
        RegistryKey("mirror").WriteText(savedMirror_);
        RegistryKey("cooldown").WriteText("");
        ClearDatabaseFolder();
        Settings() = saved_;
        SaveSettings();
    }

    static void ClearDatabaseFolder() {
        for (const auto& entry : fs::directory_iterator(Folders().DatabaseFolder)) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }

    static std::string db(const std::string& name) { return Folders().DatabaseFolder + name; }

    // A test database, or a failure when the build scripts did not fetch it.
    static std::string TestDatabase(const std::string& name) {
        const std::string content = test::ClamavTestFile(name);
        EXPECT_FALSE(content.empty()) << name << " is missing; the build scripts fetch it";
        return content;
    }

    // The mirror publishes test databases: main test-1, daily test-6 (the
    // EICAR signature among its 14), bytecode test-2, and nothing else.
    void publish() {
        for (const char* other : {"test.cvd", "test-4.cdiff", "test-5.cdiff", "test-6.cdiff"})
            mirror.remove(other);
        mirror.put("main.cvd", TestDatabase("test-1.cvd"));
        mirror.put("daily.cvd", TestDatabase("test-6.cvd"));
        mirror.put("bytecode.cvd", TestDatabase("test-2.cvd"));
    }
    // The live databases with daily three versions behind; the mirror has
    // no daily patches, so the updater fetches the whole daily database.
    void installOlder() {
        std::ofstream(db("main.cvd"), std::ios::binary) << TestDatabase("test-1.cvd");
        std::ofstream(db("daily.cvd"), std::ios::binary) << TestDatabase("test-3.cvd");
        std::ofstream(db("bytecode.cvd"), std::ios::binary) << TestDatabase("test-2.cvd");
    }

    // freshclam tries a failing mirror three times, five seconds apart.
    void run(const std::function<bool()>& until = nullptr) { DownloadWindows::run(until, 90000); }

    void expectNothingCounted() {
        EXPECT_EQ(Settings().TotalUpdates(), 3);
        EXPECT_EQ(Settings().LastUpdateSize(), 777);
        EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100);
    }

    std::string reason() const { return notice.Label8.caption(); }

    SettingsRecord saved_;
    std::string savedMirror_;
    test::Mirror mirror;
};

#define TOLVAR_NEEDS_UPDATER(mirror)                                                            \
    TOLVAR_NEEDS_MIRROR(mirror);                                                                \
    ASSERT_TRUE(FileExists(FreshclamPath())) << "the freshclam bridge is not beside the tests"; \
    ASSERT_FALSE(test::ClamavTestFile("test-6.cvd").empty())                                    \
        << "ClamAV's test databases are missing; the build scripts fetch them"

TEST_F(FreshclamUpdates, AFirstDownloadInstallsEveryDatabaseAndCountsIt) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    run();
    ASSERT_FALSE(notice.visible()) << reason();
    EXPECT_TRUE(form8.Label2.visible());
    EXPECT_EQ(form8.Label2.caption(),
              "The Updates have successfully been downloaded and installed.");
    EXPECT_EQ(form8.Label1.caption(), "The bytecode database is updated (version 2)");
    EXPECT_EQ(Content(db("main.cvd")), TestDatabase("test-1.cvd"));
    EXPECT_EQ(Content(db("daily.cvd")), TestDatabase("test-6.cvd"));
    EXPECT_EQ(Content(db("bytecode.cvd")), TestDatabase("test-2.cvd"));
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(TestDatabase("test-1.cvd").size() +
                                                            TestDatabase("test-6.cvd").size() +
                                                            TestDatabase("test-2.cvd").size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    // The loaded engine is told to reload.
    EXPECT_EQ(installs, 1);

    // The program wrote the updater's configuration: the folder, ClamAV's
    // mirror (the bridge points freshclam at the test mirror instead).
    const std::string config = Content(Folders().DataFolder + "freshclam.conf");
    EXPECT_NE(
        config.find("DatabaseDirectory \"" +
                    Folders().DatabaseFolder.substr(0, Folders().DatabaseFolder.size() - 1) + "\""),
        std::string::npos)
        << config;
    EXPECT_NE(config.find("DatabaseMirror database.clamav.net"), std::string::npos) << config;

    // The scanner is given all three.
    EXPECT_EQ(ScanDatabaseFiles(Folders().DatabaseFolder),
              (std::vector<std::string>{db("main.cvd"), db("daily.cvd"), db("bytecode.cvd")}));
}

// Guards against ClamAV's updater, run with this program's rights, reading a
// configuration that programs without them could write or swap (its
// OnUpdateExecute runs any command): the program writes its own, closed to
// others, and holds it as written while the updater runs, so that neither
// a write nor a file put in its place gets in.
TEST_F(FreshclamUpdates, TheConfigurationIsTheProgramsOwnAndHeldWhileTheUpdaterRuns) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    const std::string config = Folders().DataFolder + "freshclam.conf";
    std::ofstream(config, std::ios::binary) << "OnUpdateExecute cmd /c echo planted\n";
    ASSERT_TRUE(test::OpenToEveryone(config));
    const std::string swap = Folders().DataFolder + "swap.conf";
    bool tried = false;
    bool written = false;
    bool replaced = false;
    run([&] {
        if (!tried && form8.Downloading() &&
            Content(config).find("DatabaseDirectory") != std::string::npos) {
            tried = true;
            const UniqueHandle writer(
                CreateFileA(config.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            written = static_cast<bool>(writer);
            std::ofstream(swap, std::ios::binary) << "OnUpdateExecute cmd /c echo swapped\n";
            replaced = MoveFileExA(swap.c_str(), config.c_str(), MOVEFILE_REPLACE_EXISTING);
            DeleteFileA(swap.c_str());
        }
        return !form8.Downloading() && !form8.Timer1.enabled();
    });
    ASSERT_FALSE(notice.visible()) << reason();
    EXPECT_TRUE(tried) << "the updater ended before the test could try";
    EXPECT_FALSE(written);
    EXPECT_FALSE(replaced);
    const std::string used = Content(config);
    EXPECT_EQ(used.find("OnUpdateExecute"), std::string::npos) << used;
    EXPECT_NE(used.find("DatabaseDirectory"), std::string::npos) << used;
    EXPECT_TRUE(test::ClosedToOthers(config));
    EXPECT_TRUE(test::ClosedToOthers(Folders().DatabaseFolder));
}

TEST_F(FreshclamUpdates, ANewerDatabaseWithoutItsPatchIsNoUpdate) {
    // One version behind and the mirror without that patch: the updater
    // settles for the old database and ends with success; the program must
    // not say "up to date".
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    installOlder();
    std::ofstream(db("daily.cvd"), std::ios::binary) << TestDatabase("test-5.cvd");
    const auto before = DatabaseFiles();
    run();
    ASSERT_TRUE(notice.visible());
    EXPECT_NE(reason().find("does not have the patch to the newest daily database"),
              std::string::npos)
        << reason();
    EXPECT_EQ(DatabaseFiles(), before);
    expectNothingCounted();
}

TEST_F(FreshclamUpdates, UpToDateSaysSoAndCountsNothing) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    std::ofstream(db("main.cvd"), std::ios::binary) << TestDatabase("test-1.cvd");
    std::ofstream(db("daily.cvd"), std::ios::binary) << TestDatabase("test-6.cvd");
    std::ofstream(db("bytecode.cvd"), std::ios::binary) << TestDatabase("test-2.cvd");
    const auto before = DatabaseFiles();
    run();
    ASSERT_FALSE(notice.visible()) << reason();
    EXPECT_TRUE(form8.Label2.visible());
    EXPECT_EQ(form8.Label2.caption(), "The Virus Database is already up to date.");
    EXPECT_EQ(DatabaseFiles(), before);
    expectNothingCounted();
    // Nothing new for the loaded engine.
    EXPECT_EQ(installs, 0);
    // Close ends the window as after an update.
    Click(form8.Image2);
    EXPECT_FALSE(form8.visible());
}

TEST_F(FreshclamUpdates, AnIncrementalUpdateAppliesThePatches) {
    TOLVAR_NEEDS_UPDATER(mirror);
    // The patches apply only under their own database name, "test".
    SetEnvironmentVariableA("TOLVAR_FRESHCLAM_ARGS", "--update-db=test");
    publish();
    std::ofstream(db("test.cvd"), std::ios::binary) << TestDatabase("test-3.cvd");
    mirror.put("test.cvd", TestDatabase("test-6.cvd"));
    for (const char* patch : {"test-4.cdiff", "test-5.cdiff", "test-6.cdiff"})
        mirror.put(patch, TestDatabase(patch));
    run();
    ASSERT_FALSE(notice.visible()) << reason();
    EXPECT_EQ(form8.Label1.caption(), "The test database is updated (version 6)");
    ASSERT_TRUE(fs::exists(db("test.cld")));
    EXPECT_FALSE(fs::exists(db("test.cvd")));
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(fs::file_size(db("test.cld"))));
    // Three patches, and the whole database never: only its header.
    const std::vector<std::string> requests = mirror.requests();
    for (const char* patch : {"GET /test-4.cdiff", "GET /test-5.cdiff", "GET /test-6.cdiff"}) {
        EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const std::string& r) {
            return r.rfind(patch, 0) == 0;
        })) << patch;
    }
    for (const std::string& request : requests) {
        if (request.rfind("GET /test.cvd", 0) == 0) {
            EXPECT_NE(request.find("range=bytes=0-511"), std::string::npos) << request;
        }
    }
}

TEST_F(FreshclamUpdates, EveryFailureLeavesTheLiveDatabasesAsTheyWereAndSaysWhy) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    installOlder();
    const auto before = DatabaseFiles();
    const struct {
        const char* what;
        const char* mode;
        const char* mirrorAddress;  // "" for the test mirror
        const char* reason;
    } cases[] = {
        {"a refusal", "403", "", "refused the download (HTTP 403)"},
        {"a rate limit", "429 600", "", "(HTTP 429); no update can start before"},
        {"a damaged file", "corrupt", "", "damaged or unsigned database"},
        {"a mirror that is down", "good", "http://127.0.0.1:1", "Couldn't connect to server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mirror.setMode(c.mode);
        if (*c.mirrorAddress) SetEnvironmentVariableA("TOLVAR_FRESHCLAM_MIRROR", c.mirrorAddress);
        run();
        EXPECT_FALSE(form8.visible());
        ASSERT_TRUE(notice.visible());
        EXPECT_NE(reason().find(c.reason), std::string::npos) << reason();
        EXPECT_EQ(DatabaseFiles(), before);
        expectNothingCounted();
        notice.close();
        // Each case starts without the last one's cool-down.
        RegistryKey("cooldown").WriteText("");
        fs::remove(db("freshclam.dat"));
        SetEnvironmentVariableA("TOLVAR_FRESHCLAM_MIRROR", ("http://" + mirror.address()).c_str());
    }
}

TEST_F(FreshclamUpdates, ACoolDownHoldsBackTheNextRunByHandAndBySchedule) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    installOlder();
    mirror.setMode("429 3600");
    run();
    ASSERT_TRUE(notice.visible());
    notice.close();
    const std::optional<CoolDown> stored = StoredCoolDown();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->source, kUpdaterSource);
    EXPECT_NEAR(stored->until, NowSerial() + 1.0 / 24, 5.0 / (24 * 60));
    // The scheduled check waits for its end.
    EXPECT_TRUE(UpdateCoolDown());

    // By hand: the updater is not even started.
    mirror.setMode("good");
    const std::size_t asked = mirror.requests().size();
    run();
    ASSERT_TRUE(notice.visible());
    EXPECT_NE(reason().find("no update can start before " + LocalTimeText(stored->until)),
              std::string::npos)
        << reason();
    EXPECT_EQ(mirror.requests().size(), asked);
    expectNothingCounted();
}

TEST_F(FreshclamUpdates, CancelAndAltF4EndTheUpdaterMidTransfer) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    installOlder();
    const auto before = DatabaseFiles();
    // Each 4 KiB of a database every three seconds: the daily one takes
    // six, long enough to be stopped halfway.
    mirror.setMode("slow 3000");
    for (const bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "Cancel");
        run([this] { return form8.Gauge1.progress() > 0; });
        if (altF4) {
            SendMessageA(form8.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            Click(form8.Image3);
        }
        EXPECT_FALSE(form8.visible());
        ASSERT_TRUE(test::PumpUntil([this] { return !form8.Downloading(); }, 20000));
        // Long enough for an updater still running to finish the transfer
        // and install it.
        Sleep(8000);
        EXPECT_EQ(DatabaseFiles(), before);
        expectNothingCounted();
        EXPECT_FALSE(notice.visible());
    }
}

TEST_F(FreshclamUpdates, ThroughTheProxyWithItsLogin) {
    TOLVAR_NEEDS_UPDATER(mirror);
    publish();
    mirror.setMode("proxy-auth");
    // A mirror name nobody resolves: only the proxy can reach it.
    SetEnvironmentVariableA("TOLVAR_FRESHCLAM_MIRROR", "http://mirror.invalid");
    const std::string address = mirror.address();
    Settings().SetUseProxy(true);
    Settings().SetProxyServer(address.substr(0, address.find(':')));
    Settings().SetProxyPort(address.substr(address.find(':') + 1));
    Settings().SetProxyUser("a");
    Settings().SetProxyPassword("b");
    run();
    ASSERT_FALSE(notice.visible()) << reason();
    EXPECT_EQ(Content(db("daily.cvd")), TestDatabase("test-6.cvd"));
    const std::vector<std::string> requests = mirror.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(),
              "CONNECT mirror.invalid:80 proxy=yes proxy-authorization=Basic YTpi");
}

TEST_F(FreshclamUpdates, TheUpdaterRunsUnlessAPrivateMirrorIsSet) {
    struct Silent : DownloadListener {
        void DownloadStarted() override {}
        void DownloadStep(const std::string&) override {}
        void DownloadProgress(GaugeReading) override {}
        void DownloadSucceeded() override {}
        void DatabaseUpToDate() override {}
        void InstallRefused() override {}
        void DownloadFailed(const std::string&) override {}
    } listener;
    DatabaseUpdater beside(transport, listener);
    EXPECT_TRUE(beside.UsesFreshclam());
    RegistryKey("mirror").WriteText("mirror.example");
    EXPECT_FALSE(beside.UsesFreshclam());
    RegistryKey("mirror").WriteText("");
    DatabaseUpdater missing(transport, listener, Folders().ProgramFolder + "no\\freshclam.exe");
    EXPECT_FALSE(missing.UsesFreshclam());
}

}  // namespace
}  // namespace tolvar
