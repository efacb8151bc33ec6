// The program's own database download through its listener, with a
// transport that writes real files into the database folder and no network
// or window: a good run counts, stores and installs; every failure, a cancel
// and an error leave the live databases and the counts alone and delete
// what was written; a 429 holds back the next run; a refused install keeps
// the live file, is retried and counts only once it is in; a later run
// never waits for an old one; a
// worker never outlives its job and no error of a run is dropped.

#include <gtest/gtest.h>

#include <windows.h>

#include <winsock2.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/app_error.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "framework/thread_win.h"
#include "test_mirror.h"
#include "test_support.h"
#include "updates/cool_down_store.h"
#include "updates/database_files.h"
#include "updates/download_job_win.h"
#include "updates/system_transport_win.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

using test::Content;

void Append(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

// What one transfer does with the file it is given.
using Behaviour = std::function<TransferOutcome(const std::string& file, const ProgressFn&)>;

// Writes content in two halves with a progress report after each, and
// answers with the given status (and what the mirror announced).
Behaviour Serve(const std::string& content, int status = 200,
                std::optional<std::size_t> announced = std::nullopt,
                const std::string& retryAfter = "") {
    return [=](const std::string& file, const ProgressFn& progress) {
        TransferOutcome outcome;
        outcome.httpStatus = status;
        outcome.retryAfter = retryAfter;
        outcome.announcedBytes = announced.value_or(content.size());
        const auto expected = static_cast<unsigned long>(outcome.announcedBytes);
        fs::remove(file);
        const std::size_t half = content.size() / 2;
        Append(file, content.substr(0, half));
        if (!progress(static_cast<unsigned long>(half), expected)) {
            outcome.result = E_ABORT;
            return outcome;
        }
        Append(file, content.substr(half));
        if (!progress(static_cast<unsigned long>(content.size()), expected)) {
            outcome.result = E_ABORT;
        }
        return outcome;
    };
}

// Writes a first part, then keeps reporting progress until it is told to
// stop (or a long while has passed), and then does what `stopped` says.
Behaviour HangUntilStopped(std::function<TransferOutcome()> stopped = [] {
    TransferOutcome outcome;
    outcome.result = E_ABORT;
    return outcome;
}) {
    return [stopped](const std::string& file, const ProgressFn& progress) {
        fs::remove(file);
        Append(file, test::Mirror::Database(1, 100));
        for (int i = 0; i < 6000 && progress(612, 100000); ++i)
            Sleep(5);
        return stopped();
    };
}

// A server that takes connections and never answers: the system completes
// each connection from its queue, and nothing is ever read or sent. Closing
// it resets the connections it holds.
class SilentServer {
public:
    SilentServer() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
        started_ = true;
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (socket_ == INVALID_SOCKET ||
            bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(socket_, 16) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        if (started_) WSACleanup();
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool listening() const { return port_ != 0; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string port() const { return std::to_string(port_); }
    // True once a connection waits in its queue.
    bool connected() const {
        fd_set waiting;
        FD_ZERO(&waiting);
        FD_SET(socket_, &waiting);
        timeval none{0, 0};
        return select(0, &waiting, nullptr, nullptr, &none) == 1;
    }

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    unsigned short port_ = 0;
};

// Ends this test program as failed when the step it guards has not returned
// within the bound: a step that never returns would otherwise hang the
// whole run instead of failing it.
class Watchdog {
public:
    Watchdog(DWORD boundMs, std::string step)
        : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          thread_([this, boundMs, step = std::move(step)] {
              if (WaitForSingleObject(done_.get(), boundMs) == WAIT_OBJECT_0) return;
              std::fprintf(stderr, "[  FAILED  ] %s did not return within %lu ms\n", step.c_str(),
                           boundMs);
              std::fflush(stderr);
              TerminateProcess(GetCurrentProcess(), 3);
          }) {}
    ~Watchdog() {
        SetEvent(done_.get());
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    UniqueHandle done_;
    std::thread thread_;
};

// The behaviour for each address ("main.cvd" and "daily.cvd" at the end
// of it), or one for all; what each transfer was asked for.
class FakeTransport : public DatabaseTransport {
public:
    void set(Behaviour all) { set("", std::move(all)); }
    void set(const std::string& name, Behaviour behaviour) {
        const std::lock_guard<std::mutex> lock(mutex_);
        behaviours_[name] = std::move(behaviour);
    }
    std::vector<std::string> urls() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return urls_;
    }
    std::vector<std::string> files() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return files_;
    }
    ProxySettings proxy() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return proxy_;
    }
    void forget() {
        const std::lock_guard<std::mutex> lock(mutex_);
        urls_.clear();
        files_.clear();
    }
    // Transfers under way.
    std::atomic<int> running{0};

    TransferOutcome Fetch(const std::string& url, const std::string& file,
                          const ProxySettings& proxy, const ProgressFn& progress) override {
        Behaviour behaviour;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            urls_.push_back(url);
            files_.push_back(file);
            proxy_ = proxy;
            const std::string name = url.substr(url.rfind('/') + 1);
            behaviour = behaviours_.count(name) ? behaviours_[name] : behaviours_[""];
        }
        ++running;
        struct Returned {
            std::atomic<int>& count;
            ~Returned() { --count; }
        } mark{running};
        return behaviour(file, progress);
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, Behaviour> behaviours_;
    std::vector<std::string> urls_;
    std::vector<std::string> files_;
    ProxySettings proxy_;
};

class RecordingListener : public DownloadListener {
public:
    std::vector<std::string> events;
    std::function<void()> onSucceeded;
    std::function<void()> onProgress;

    void DownloadStarted() override { events.push_back("started"); }
    void DownloadStep(const std::string& step) override { events.push_back("step " + step); }
    void DatabaseUpToDate() override { events.push_back("up to date"); }
    void DownloadProgress(GaugeReading reading) override {
        events.push_back("progress " + std::to_string(reading.position) + "/" +
                         std::to_string(reading.maximum));
        if (onProgress) onProgress();
    }
    void DownloadSucceeded() override {
        events.push_back("succeeded");
        if (onSucceeded) onSucceeded();
    }
    void InstallRefused() override { events.push_back("install refused"); }
    void DownloadFailed(const std::string& reason) override {
        events.push_back("failed: " + reason);
    }

    bool saw(const std::string& prefix) const {
        for (const std::string& e : events) {
            if (e.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
    std::string last() const { return events.empty() ? "" : events.back(); }
};

class DownloadJobs : public testing::Test {
protected:
    DownloadJobs() {
        if (Folders().DatabaseFolder.empty()) FixFolders();
        savedSettings_ = Settings();
        savedMirror_ = RegistryKey("mirror").ReadText();
        savedCoolDown_ = RegistryKey("cooldown").ReadText();
        RegistryKey("mirror").WriteText("mirror.test:8080");
        RegistryKey("cooldown").WriteText("");
        for (const char* name : kFiles) {
            if (fs::exists(db(name))) savedFiles_[name] = Content(db(name));
            fs::remove(db(name));
        }
        std::ofstream(db("main.cvd"), std::ios::binary) << kLive;
        std::ofstream(db("daily.cvd"), std::ios::binary) << kLiveDaily;
        Settings().SetLastUpdateDate(TodaySerial() - 100);
        Settings().SetTotalUpdates(3);
        Settings().SetLastUpdateSize(777);
        Settings().SetUseProxy(false);
    }
    ~DownloadJobs() override {
        RegistryKey("mirror").WriteText(savedMirror_);
        RegistryKey("cooldown").WriteText(savedCoolDown_);
        Settings() = savedSettings_;
        SaveSettings();
        for (const char* name : kFiles) {
            fs::remove(db(name));
            const auto saved = savedFiles_.find(name);
            if (saved != savedFiles_.end()) {
                std::ofstream(db(name), std::ios::binary) << saved->second;
            }
        }
    }

    static std::string db(const std::string& name) { return Folders().DatabaseFolder + name; }

    // The transfers' own files still in the database folder.
    static std::vector<std::string> TransferFilesLeft() {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(Folders().DatabaseFolder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("tdl", 0) == 0) left.push_back(name);
        }
        return left;
    }

    static SettingsRecord Stored() {
        SettingsRecord record;
        RegistryKey("sysdata").ReadBinary(record.MutableBytes().data(), SettingsRecord::kSize);
        return record;
    }

    // Starts a run and waits until its worker has ended.
    void run(DownloadJob& job) {
        job.Start();
        ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    }

    void expectNothingCounted() {
        EXPECT_EQ(Settings().TotalUpdates(), 3);
        EXPECT_EQ(Settings().LastUpdateSize(), 777);
        EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100);
    }
    void expectLiveDatabasesUntouched() {
        EXPECT_EQ(Content(db("main.cvd")), kLive);
        EXPECT_EQ(Content(db("daily.cvd")), kLiveDaily);
    }
    void expectNothingLeft() {
        EXPECT_EQ(TransferFilesLeft(), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(db("main2.cvd")));
        EXPECT_FALSE(fs::exists(db("daily2.cvd")));
    }

    static constexpr const char* kFiles[] = {"main.cvd", "daily.cvd", "main2.cvd", "daily2.cvd"};
    const std::string kLive = "live main database";
    const std::string kLiveDaily = "live daily database";
    SettingsRecord savedSettings_;
    std::string savedMirror_;
    std::string savedCoolDown_;
    std::map<std::string, std::string> savedFiles_;
    FakeTransport transport;
    RecordingListener listener;
};

TEST_F(DownloadJobs, AGoodRunCountsStoresAndInstallsTheChosenDatabases) {
    const std::string main = test::Mirror::Database(7, 3000);
    const std::string daily = test::Mirror::Database(8, 500, 'd');
    transport.set("main.cvd", Serve(main));
    transport.set("daily.cvd", Serve(daily));
    DownloadJob job(transport, listener);
    run(job);

    // The last update lies 100 days back: the full database, then the daily
    // one, from the configured mirror, each into a file of the run's own.
    EXPECT_EQ(transport.urls(), (std::vector<std::string>{"http://mirror.test:8080/main.cvd",
                                                          "http://mirror.test:8080/daily.cvd"}));
    const std::vector<std::string> files = transport.files();
    ASSERT_EQ(files.size(), 2u);
    for (const std::string& file : files) {
        EXPECT_EQ(file.rfind(Folders().DatabaseFolder, 0), 0u) << file;
        for (const char* name : kFiles)
            EXPECT_NE(file, db(name)) << "a transfer wrote to a name another run uses";
    }
    EXPECT_NE(files[0], files[1]);
    const std::string half = std::to_string(main.size() / 2);
    const std::string whole = std::to_string(main.size());
    const std::string dailyHalf = std::to_string(daily.size() / 2);
    const std::string dailyWhole = std::to_string(daily.size());
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{
                  "started", "step Downloading main.cvd (1 of 2)", "progress " + half + "/" + whole,
                  "progress " + whole + "/" + whole, "step Downloading daily.cvd (2 of 2)",
                  "progress " + dailyHalf + "/" + dailyWhole,
                  "progress " + dailyWhole + "/" + dailyWhole, "succeeded"}));
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Content(db("daily.cvd")), daily);
    expectNothingLeft();
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(main.size() + daily.size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    EXPECT_EQ(Stored().TotalUpdates(), 4) << "the count was not stored";
    EXPECT_TRUE(job.RetryInstall()) << "nothing is left to retry";

    // The next run the same day fetches only the daily file.
    const std::string newer = test::Mirror::Database(9, 700, 'e');
    transport.set("daily.cvd", Serve(newer));
    transport.forget();
    listener.events.clear();
    run(job);
    EXPECT_EQ(transport.urls(), std::vector<std::string>{"http://mirror.test:8080/daily.cvd"});
    EXPECT_EQ(listener.events[1], "step Downloading daily.cvd");
    EXPECT_EQ(listener.last(), "succeeded");
    EXPECT_EQ(Content(db("daily.cvd")), newer);
    EXPECT_EQ(Content(db("main.cvd")), main);
    expectNothingLeft();
    EXPECT_EQ(Settings().TotalUpdates(), 5);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(newer.size()));
}

TEST_F(DownloadJobs, TheProxyOfTheSettingsGoesToTheTransport) {
    Settings().SetUseProxy(true);
    Settings().SetProxyServer("proxy.test");
    Settings().SetProxyPort("3128");
    Settings().SetProxyUser("a");
    Settings().SetProxyPassword("b");
    transport.set(Serve(test::Mirror::Database(7, 100)));
    DownloadJob job(transport, listener);
    run(job);
    const ProxySettings proxy = transport.proxy();
    EXPECT_TRUE(proxy.use);
    EXPECT_EQ(proxy.server, "proxy.test");
    EXPECT_EQ(proxy.port, "3128");
    EXPECT_EQ(proxy.user, "a");
    EXPECT_EQ(proxy.password, "b");
}

TEST_F(DownloadJobs, EachFailureCountsNothingKeepsTheLiveDatabasesAndDeletesTheDownloads) {
    const std::string database = test::Mirror::Database(7, 3000);
    std::string damaged = database;
    damaged[1000] ^= 0x55;
    const std::string page = "<html><body>Not here</body></html>";
    const auto noLibrary = [](const std::string&, const ProgressFn&) {
        TransferOutcome outcome;
        outcome.facilityLoaded = false;
        return outcome;
    };
    const auto brokenOff = [&](const std::string& file, const ProgressFn& progress) {
        Append(file, database.substr(0, 1000));
        progress(1000, static_cast<unsigned long>(database.size()));
        TransferOutcome outcome;
        outcome.httpStatus = 200;
        outcome.announcedBytes = database.size();
        outcome.result = static_cast<long>(0x800C0007UL);
        return outcome;
    };
    // What freshclam writes when it patches (a .cld) carries no MD5: served
    // as daily.cvd it is no database to install.
    const std::string patched = test::FreshclamPatchedDatabase();
    ASSERT_FALSE(patched.empty()) << "test.cld is missing; the build scripts make it";
    const struct {
        const char* what;
        Behaviour behaviour;
        const char* reason;
    } cases[] = {
        {"no download library", noLibrary, "(URLMON) could not be loaded"},
        {"a database freshclam patched", Serve(patched), "not a signature database"},
        {"HTTP 404", Serve(page, 404), "(HTTP 404)"},
        {"HTTP 403", Serve(page, 403), "set a mirror you may use"},
        {"HTTP 429", Serve(page, 429, std::nullopt, ""), "(HTTP 429); try again later"},
        {"an HTML page", Serve(page), "not a signature database"},
        {"a cut transfer", Serve(database.substr(0, 2000), 200, database.size()), "cut short"},
        // Before, a file cut short without a Content-Length was installed.
        {"a cut transfer of unknown length", Serve(database.substr(0, 2000), 200, 0),
         "did not say how long"},
        {"a damaged body", Serve(damaged), "its checksum does not match"},
        {"a broken connection", brokenOff, "the transfer broke off"},
    };
    DownloadJob job(transport, listener);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The full database arrives well; the daily one fails: nothing of
        // the run may go in.
        transport.set("main.cvd", Serve(database));
        transport.set("daily.cvd", c.behaviour);
        listener.events.clear();
        run(job);
        const std::string last = listener.last();
        EXPECT_EQ(last.rfind("failed: Reason: ", 0), 0u) << last;
        EXPECT_NE(last.find(c.reason), std::string::npos) << last;
        EXPECT_FALSE(listener.saw("succeeded"));
        expectNothingLeft();
        expectNothingCounted();
        expectLiveDatabasesUntouched();
        EXPECT_TRUE(job.RetryInstall()) << "a failed run left something to install";
    }
}

TEST_F(DownloadJobs, ATooManyRequestsAnswerHoldsBackRunsToThatMirrorUntilItsRetryAfter) {
    transport.set(Serve("<html>busy</html>", 429, std::nullopt, "3600"));
    DownloadJob job(transport, listener);
    run(job);
    EXPECT_NE(listener.last().find("(HTTP 429); try again in 60 minutes"), std::string::npos)
        << listener.last();
    const std::optional<CoolDown> stored = StoredCoolDown();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->source, "http://mirror.test:8080");
    EXPECT_NEAR(stored->until, NowSerial() + 1.0 / 24, 2.0 / 86400);

    // The next start asks the mirror nothing and says until when.
    transport.forget();
    transport.set(Serve(test::Mirror::Database(7, 100)));
    listener.events.clear();
    job.Start();
    EXPECT_FALSE(job.Running());
    EXPECT_TRUE(transport.urls().empty());
    ASSERT_EQ(listener.events.size(), 1u);
    EXPECT_NE(listener.last().find("no update can start before " + LocalTimeText(stored->until)),
              std::string::npos)
        << listener.last();
    expectNothingCounted();

    // Another mirror is not held back by this one's pause.
    RegistryKey("mirror").WriteText("other.test");
    listener.events.clear();
    run(job);
    EXPECT_EQ(listener.last(), "succeeded");
}

TEST_F(DownloadJobs, CancelMidTransferDeletesThePartialFileAndCountsNothing) {
    transport.set(HangUntilStopped());
    DownloadJob job(transport, listener);
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    ASSERT_EQ(TransferFilesLeft().size(), 2u) << "the run made its files";
    ASSERT_GT(fs::file_size(transport.files().at(0)), 0u) << "the transfer wrote nothing";
    job.Cancel();
    const std::size_t eventsAtCancel = listener.events.size();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    EXPECT_EQ(transport.running, 0);
    EXPECT_EQ(transport.urls().size(), 1u) << "the next file was fetched after the cancel";
    expectNothingLeft();
    EXPECT_EQ(listener.events.size(), eventsAtCancel) << listener.last();
    expectNothingCounted();
    expectLiveDatabasesUntouched();
}

TEST_F(DownloadJobs, ALaterRunNeverWaitsForAnOldOneStillWindingDown) {
    // A transfer the system's library does not give back for a long while
    // (no progress report comes to answer "stop"): the next run must start
    // at once and must not meet the old one's files.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const UniqueHandle releaseOwner(release);
    std::string stuckFile;
    transport.set([&](const std::string& file, const ProgressFn& progress) {
        stuckFile = file;
        Append(file, "half of an old database");
        progress(23, 1000);
        WaitForSingleObject(release, 20000);
        TransferOutcome outcome;
        outcome.httpStatus = 200;
        outcome.announcedBytes = 1000;
        return outcome;
    });
    DownloadJob job(transport, listener);
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    job.Cancel();

    const std::string main = test::Mirror::Database(7, 3000);
    const std::string daily = test::Mirror::Database(8, 300, 'd');
    transport.set("main.cvd", Serve(main));
    transport.set("daily.cvd", Serve(daily));
    listener.events.clear();
    run(job);
    EXPECT_EQ(listener.last(), "succeeded");
    EXPECT_EQ(transport.running, 1) << "the old transfer was waited for";
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Content(db("daily.cvd")), daily);
    EXPECT_EQ(Settings().TotalUpdates(), 4);

    // The old run comes back at last: it deletes its own file and says
    // nothing.
    const std::size_t events = listener.events.size();
    SetEvent(release);
    ASSERT_TRUE(test::PumpUntil([&] { return transport.running == 0; }));
    ASSERT_TRUE(test::PumpUntil([&] { return TransferFilesLeft().empty(); }));
    EXPECT_FALSE(fs::exists(stuckFile));
    EXPECT_EQ(listener.events.size(), events) << listener.last();
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(Settings().TotalUpdates(), 4);
}

TEST_F(DownloadJobs, DestroyingTheJobMidTransferStopsAndJoinsItsWorker) {
    transport.set(HangUntilStopped());
    std::size_t eventsBefore = 0;
    {
        DownloadJob job(transport, listener);
        job.Start();
        ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
        eventsBefore = listener.events.size();
    }
    // The worker has returned from the transfer and done its last hand-over
    // without telling the listener anything more.
    EXPECT_EQ(transport.running, 0);
    EXPECT_EQ(listener.events.size(), eventsBefore) << listener.last();
    expectNothingLeft();
    expectNothingCounted();
}

// Guards against the end of the program waiting for ever on a cancelled
// download stuck in the system's network layer: on a server that took the
// connection and never answers, no progress report comes to answer "stop"
// to, neither through the download library (URLMON) nor through the
// internet layer a proxy takes (WININET). Its job goes within a few seconds
// all the same, and the transfer, once the server lets go, deletes its own
// file and tells nobody anything.
TEST_F(DownloadJobs, TheJobGoesWithinSecondsWhateverItsTransferDoes) {
    SystemTransport system;
    for (const bool throughProxy : {false, true}) {
        std::optional<SilentServer> server(std::in_place);
        ASSERT_TRUE(server->listening());
        if (throughProxy) {
            Settings().SetUseProxy(true);
            Settings().SetProxyServer("127.0.0.1");
            Settings().SetProxyPort(server->port());
        } else {
            Settings().SetUseProxy(false);
            RegistryKey("mirror").WriteText(server->address());
        }
        listener.events.clear();
        std::optional<DownloadJob> job(std::in_place, system, listener);
        job->Start();
        ASSERT_TRUE(test::PumpUntil([&] { return server->connected(); }, 20000)) << throughProxy;
        Sleep(500);  // well inside the transfer's wait for an answer
        ASSERT_TRUE(job->Running()) << throughProxy << ": " << listener.last();
        {
            const Watchdog watchdog(120000, "ending a job whose transfer is stuck");
            job.reset();
        }
        const std::size_t events = listener.events.size();
        expectNothingCounted();
        expectLiveDatabasesUntouched();
        // The server lets go: the transfer comes back and clears up.
        server.reset();
        EXPECT_TRUE(test::PumpUntil([] { return TransferFilesLeft().empty(); }, 60000))
            << throughProxy;
        EXPECT_EQ(listener.events.size(), events) << listener.last();
    }
}

// In another process: a program whose download is stuck in the internet
// layer (through the silent proxy TOLVAR_SILENT_PROXY names) ends.
TEST(StuckTransferChild, DISABLED_EndsWhileItsTransferIsStuck) {
    char port[16] = "";
    ASSERT_GT(GetEnvironmentVariableA("TOLVAR_SILENT_PROXY", port, sizeof port), 0u);
    RegistryKey("cooldown").WriteText("");
    Settings().SetUseProxy(true);
    Settings().SetProxyServer("127.0.0.1");
    Settings().SetProxyPort(port);
    SystemTransport system;
    RecordingListener listener;
    DownloadJob job(system, listener);
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("step"); }));
    Sleep(1000);
    ASSERT_TRUE(job.Running()) << listener.last();
}

// Guards against a program that never ends: its last worker stuck in the
// system's network layer, left behind when the job went, must not hold the
// process's end either.
TEST_F(DownloadJobs, TheProgramEndsWhileATransferIsStuck) {
    SilentServer proxy;
    ASSERT_TRUE(proxy.listening());
    const UniqueHandle child =
        test::StartThisProgram("StuckTransferChild.*", "TOLVAR_SILENT_PROXY", proxy.port());
    ASSERT_TRUE(child);
    ASSERT_TRUE(test::PumpUntil([&] { return proxy.connected(); }, 30000));
    EXPECT_TRUE(WaitPumping(child.get(), 120000)) << "the program did not end";
    DWORD exitCode = 1;
    GetExitCodeProcess(child.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    if (WaitForSingleObject(child.get(), 0) != WAIT_OBJECT_0) TerminateProcess(child.get(), 1);
    // What the stuck transfer wrote goes with the clean-up before a scan.
    EXPECT_FALSE(TransferFilesLeft().empty());
    RemoveStaleDownloads();
    EXPECT_EQ(TransferFilesLeft(), std::vector<std::string>{});
}

TEST_F(DownloadJobs, ARefusedInstallKeepsTheLiveFileAndIsRetriedUntilItSucceeds) {
    const std::string main = test::Mirror::Database(7, 3000);
    const std::string daily = test::Mirror::Database(8, 300, 'd');
    transport.set("main.cvd", Serve(main));
    transport.set("daily.cvd", Serve(daily));
    DownloadJob job(transport, listener);
    {
        // The scanner holds the live file, as it may during a scan.
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run(job);
        EXPECT_EQ(listener.events.back(), "install refused");
        EXPECT_FALSE(listener.saw("succeeded"));
        expectNothingCounted();
        EXPECT_EQ(Content(db("main.cvd")), kLive);
        EXPECT_EQ(Content(db("main2.cvd")), main) << "the checked file waits under its name";
        EXPECT_EQ(Content(db("daily.cvd")), daily) << "the file not held went in";
        EXPECT_FALSE(job.RetryInstall());
        EXPECT_FALSE(job.RetryInstall());
        EXPECT_EQ(Content(db("main.cvd")), kLive) << "a retry removed the held live file";
        expectNothingCounted();
    }
    EXPECT_TRUE(job.RetryInstall());
    EXPECT_EQ(Content(db("main.cvd")), main);
    EXPECT_EQ(listener.events.back(), "succeeded");
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(main.size() + daily.size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    EXPECT_EQ(Stored().TotalUpdates(), 4) << "the count was not stored";
    expectNothingLeft();
    EXPECT_TRUE(job.RetryInstall()) << "nothing is left to retry";
    EXPECT_EQ(Settings().TotalUpdates(), 4) << "counted twice";
}

// Guards against an update that never reached the scanner being counted:
// the clean-up before a scan deletes a download that still waits for its
// live file.
TEST_F(DownloadJobs, AWaitingDownloadDeletedBeforeAScanIsNeverCounted) {
    transport.set(Serve(test::Mirror::Database(7, 3000)));
    DownloadJob job(transport, listener);
    {
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run(job);
        ASSERT_EQ(listener.events.back(), "install refused");
        RemoveStaleDownloads();
    }
    EXPECT_TRUE(job.RetryInstall());
    EXPECT_EQ(listener.last().rfind("failed: Reason: the downloaded databases could not be put", 0),
              0u)
        << listener.last();
    expectNothingCounted();
    EXPECT_EQ(Content(db("main.cvd")), kLive);
    expectNothingLeft();
}

TEST_F(DownloadJobs, ANewRunDropsAPendingRetrySoItNeverInstallsAnOlderFile) {
    transport.set(Serve(test::Mirror::Database(7, 3000)));
    DownloadJob job(transport, listener);
    {
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run(job);
        ASSERT_EQ(listener.events.back(), "install refused");
    }
    // The next run fetches the full database again and is still writing it.
    Settings().SetLastUpdateDate(TodaySerial() - 100);
    transport.set(HangUntilStopped());
    listener.events.clear();
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    EXPECT_TRUE(job.RetryInstall());
    EXPECT_EQ(Content(db("main.cvd")), kLive) << "the retry installed a superseded file";
    job.Cancel();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    EXPECT_EQ(TransferFilesLeft(), std::vector<std::string>{});
}

TEST_F(DownloadJobs, AnErrorDuringTheTransferFailsTheRunWithItsMessage) {
    const auto throwing = [](const std::string& file,
                             const ProgressFn& progress) -> TransferOutcome {
        Append(file, "partial");
        progress(7, 100);
        throw std::runtime_error("socket exploded");
    };
    DownloadJob job(transport, listener);

    // From the transport itself.
    transport.set(throwing);
    run(job);
    EXPECT_NE(listener.last().find("failed: Reason: "), std::string::npos) << listener.last();
    EXPECT_NE(listener.last().find("socket exploded"), std::string::npos) << listener.last();
    expectNothingLeft();
    expectNothingCounted();
    expectLiveDatabasesUntouched();

    // From the window, while it shows the progress.
    transport.set(Serve(test::Mirror::Database(7, 3000)));
    listener.onProgress = [] { throw AppError("gauge lost"); };
    listener.events.clear();
    run(job);
    EXPECT_NE(listener.last().find("gauge lost"), std::string::npos) << listener.last();
    EXPECT_FALSE(listener.saw("succeeded"));
    expectNothingLeft();
    expectNothingCounted();
    expectLiveDatabasesUntouched();
}

TEST_F(DownloadJobs, AnErrorNobodyIsListeningForStillReachesTheErrorReport) {
    test::RecordedErrors errors;
    DownloadJob job(transport, listener);

    // The window fails when told of the success: the update still goes in
    // and is stored, and the error is shown.
    const std::string database = test::Mirror::Database(7, 3000);
    transport.set(Serve(database));
    listener.onSucceeded = [] { throw AppError("label lost"); };
    run(job);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("label lost"), std::string::npos) << errors.messages[0];
    EXPECT_EQ(Content(db("main.cvd")), database);
    EXPECT_EQ(Stored().TotalUpdates(), 4);

    // A cancelled run tells its window nothing, but its error is shown.
    Settings().SetLastUpdateDate(TodaySerial() - 100);
    transport.set(
        HangUntilStopped([]() -> TransferOutcome { throw std::runtime_error("teardown failed"); }));
    listener.events.clear();
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    job.Cancel();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    // Reported when the next start (or the job's end) joins the worker.
    job.Start();
    job.Cancel();
    ASSERT_TRUE(test::PumpUntil([&] { return errors.messages.size() >= 2; }, 20000));
    EXPECT_NE(errors.messages[1].find("teardown failed"), std::string::npos) << errors.messages[1];
    EXPECT_FALSE(listener.saw("failed"));
}

}  // namespace
}  // namespace tolvar
