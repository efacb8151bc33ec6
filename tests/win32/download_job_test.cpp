// A database download run through its listener, with a transport that
// writes real files into the database folder and no network or window: a
// good run counts, stores and installs; every failure, a cancel and an error
// leave the live database and the counts alone and delete the download; a
// refused install keeps the live file and is retried; a worker never
// outlives its job and no error of a run is dropped.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/app_error.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "test_mirror.h"
#include "test_support.h"
#include "updates/download_job_win.h"

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

class FakeTransport : public DatabaseTransport {
public:
    Behaviour behaviour;
    // What the last transfer was asked for.
    std::string url;
    std::string file;
    ProxySettings proxy;
    std::atomic<bool> returned{false};

    TransferOutcome Fetch(const std::string& u, const std::string& f, const ProxySettings& p,
                          const ProgressFn& progress) override {
        url = u;
        file = f;
        proxy = p;
        returned = false;
        struct Returned {
            std::atomic<bool>& flag;
            ~Returned() { flag = true; }
        } mark{returned};
        return behaviour(f, progress);
    }
};

class RecordingListener : public DownloadListener {
public:
    std::vector<std::string> events;
    std::function<void()> onSucceeded;
    std::function<void()> onProgress;

    void DownloadStarted() override { events.push_back("started"); }
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
        RegistryKey("mirror").WriteText("mirror.test:8080");
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

    static constexpr const char* kFiles[] = {"main.cvd", "daily.cvd", "main2.cvd", "daily2.cvd"};
    const std::string kLive = "live main database";
    const std::string kLiveDaily = "live daily database";
    SettingsRecord savedSettings_;
    std::string savedMirror_;
    std::map<std::string, std::string> savedFiles_;
    FakeTransport transport;
    RecordingListener listener;
};

TEST_F(DownloadJobs, AGoodRunCountsStoresAndInstallsTheChosenDatabase) {
    const std::string database = test::Mirror::Database(7, 3000);
    transport.behaviour = Serve(database);
    DownloadJob job(transport, listener);
    run(job);

    // The last update lies 100 days back: the full database, from the
    // configured mirror, into its download name.
    EXPECT_EQ(transport.url, "http://mirror.test:8080/main.cvd");
    EXPECT_EQ(transport.file, db("main2.cvd"));
    const std::string half = std::to_string(database.size() / 2);
    const std::string whole = std::to_string(database.size());
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{"started", "progress " + half + "/" + whole,
                                        "progress " + whole + "/" + whole, "succeeded"}));
    EXPECT_EQ(Content(db("main.cvd")), database);
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    EXPECT_EQ(Content(db("daily.cvd")), kLiveDaily);
    EXPECT_EQ(Settings().TotalUpdates(), 4);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(database.size()));
    EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial());
    EXPECT_EQ(Stored().TotalUpdates(), 4) << "the count was not stored";
    EXPECT_TRUE(job.RetryInstall()) << "nothing is left to retry";

    // The next run the same day fetches only the daily file.
    const std::string daily = test::Mirror::Database(8, 500, 'd');
    transport.behaviour = Serve(daily);
    listener.events.clear();
    run(job);
    EXPECT_EQ(transport.url, "http://mirror.test:8080/daily.cvd");
    EXPECT_EQ(transport.file, db("daily2.cvd"));
    EXPECT_EQ(listener.last(), "succeeded");
    EXPECT_EQ(Content(db("daily.cvd")), daily);
    EXPECT_EQ(Content(db("main.cvd")), database);
    EXPECT_FALSE(fs::exists(db("daily2.cvd")));
    EXPECT_EQ(Settings().TotalUpdates(), 5);
    EXPECT_EQ(Settings().LastUpdateSize(), static_cast<int>(daily.size()));
}

TEST_F(DownloadJobs, TheProxyOfTheSettingsGoesToTheTransport) {
    Settings().SetUseProxy(true);
    Settings().SetProxyServer("proxy.test");
    Settings().SetProxyPort("3128");
    Settings().SetProxyUser("a");
    Settings().SetProxyPassword("b");
    transport.behaviour = Serve(test::Mirror::Database(7, 100));
    DownloadJob job(transport, listener);
    run(job);
    EXPECT_TRUE(transport.proxy.use);
    EXPECT_EQ(transport.proxy.server, "proxy.test");
    EXPECT_EQ(transport.proxy.port, "3128");
    EXPECT_EQ(transport.proxy.user, "a");
    EXPECT_EQ(transport.proxy.password, "b");
}

TEST_F(DownloadJobs, EachFailureCountsNothingKeepsTheLiveDatabaseAndDeletesTheDownload) {
    const std::string database = test::Mirror::Database(7, 3000);
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
    const struct {
        const char* what;
        Behaviour behaviour;
        const char* reason;
    } cases[] = {
        {"no download library", noLibrary, "(URLMON) could not be loaded"},
        {"HTTP 404", Serve(page, 404), "(HTTP 404)"},
        {"HTTP 403", Serve(page, 403), "set a mirror you may use"},
        {"HTTP 429", Serve(page, 429, std::nullopt, "120"), "(HTTP 429); try again in 2 minutes"},
        {"an HTML page", Serve(page), "not a signature database"},
        {"a cut transfer", Serve(database.substr(0, 2000), 200, database.size()), "cut short"},
        {"a broken connection", brokenOff, "the transfer broke off"},
    };
    DownloadJob job(transport, listener);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        transport.behaviour = c.behaviour;
        listener.events.clear();
        run(job);
        const std::string last = listener.last();
        EXPECT_EQ(last.rfind("failed: Reason: ", 0), 0u) << last;
        EXPECT_NE(last.find(c.reason), std::string::npos) << last;
        EXPECT_FALSE(listener.saw("succeeded"));
        EXPECT_FALSE(fs::exists(db("main2.cvd")));
        expectNothingCounted();
        expectLiveDatabasesUntouched();
        EXPECT_TRUE(job.RetryInstall()) << "a failed run left something to install";
        EXPECT_EQ(Content(db("main.cvd")), kLive);
    }
}

TEST_F(DownloadJobs, CancelMidTransferDeletesThePartialFileAndCountsNothing) {
    transport.behaviour = HangUntilStopped();
    DownloadJob job(transport, listener);
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    ASSERT_TRUE(fs::exists(db("main2.cvd"))) << "the transfer wrote nothing to delete";
    job.Cancel();
    const std::size_t eventsAtCancel = listener.events.size();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    EXPECT_TRUE(transport.returned);
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    EXPECT_EQ(listener.events.size(), eventsAtCancel) << listener.last();
    expectNothingCounted();
    expectLiveDatabasesUntouched();
}

TEST_F(DownloadJobs, DestroyingTheJobMidTransferStopsAndJoinsItsWorker) {
    transport.behaviour = HangUntilStopped();
    std::size_t eventsBefore = 0;
    {
        DownloadJob job(transport, listener);
        job.Start();
        ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
        eventsBefore = listener.events.size();
    }
    // The worker has returned from the transfer and done its last hand-over
    // without telling the listener anything more.
    EXPECT_TRUE(transport.returned);
    EXPECT_EQ(listener.events.size(), eventsBefore) << listener.last();
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    expectNothingCounted();
}

TEST_F(DownloadJobs, ARefusedInstallKeepsTheLiveFileAndIsRetriedUntilItSucceeds) {
    const std::string database = test::Mirror::Database(7, 3000);
    transport.behaviour = Serve(database);
    DownloadJob job(transport, listener);
    {
        // The scanner holds the live file, as it may during a scan.
        UniqueHandle held(CreateFileA(db("main.cvd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        run(job);
        EXPECT_EQ(listener.events.back(), "install refused");
        EXPECT_TRUE(listener.saw("succeeded"));
        EXPECT_EQ(Settings().TotalUpdates(), 4) << "a good download counts even before it is in";
        EXPECT_EQ(Content(db("main.cvd")), kLive);
        EXPECT_EQ(Content(db("main2.cvd")), database);
        EXPECT_FALSE(job.RetryInstall());
        EXPECT_FALSE(job.RetryInstall());
        EXPECT_EQ(Content(db("main.cvd")), kLive) << "a retry removed the held live file";
    }
    EXPECT_TRUE(job.RetryInstall());
    EXPECT_EQ(Content(db("main.cvd")), database);
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    EXPECT_TRUE(job.RetryInstall()) << "nothing is left to retry";
}

TEST_F(DownloadJobs, ANewRunDropsAPendingRetrySoItNeverInstallsAHalfWrittenFile) {
    transport.behaviour = Serve(test::Mirror::Database(7, 3000));
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
    transport.behaviour = HangUntilStopped();
    listener.events.clear();
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    EXPECT_TRUE(job.RetryInstall());
    EXPECT_EQ(Content(db("main.cvd")), kLive) << "the retry installed a file still being written";
    job.Cancel();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
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
    transport.behaviour = throwing;
    run(job);
    EXPECT_NE(listener.last().find("failed: Reason: "), std::string::npos) << listener.last();
    EXPECT_NE(listener.last().find("socket exploded"), std::string::npos) << listener.last();
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    expectNothingCounted();
    expectLiveDatabasesUntouched();

    // From the window, while it shows the progress.
    transport.behaviour = Serve(test::Mirror::Database(7, 3000));
    listener.onProgress = [] { throw AppError("gauge lost"); };
    listener.events.clear();
    run(job);
    EXPECT_NE(listener.last().find("gauge lost"), std::string::npos) << listener.last();
    EXPECT_FALSE(listener.saw("succeeded"));
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
    expectNothingCounted();
    expectLiveDatabasesUntouched();
}

TEST_F(DownloadJobs, AnErrorNobodyIsListeningForStillReachesTheErrorReport) {
    test::RecordedErrors errors;
    DownloadJob job(transport, listener);

    // The window fails when told of the success: the update still goes in
    // and is stored, and the error is shown.
    const std::string database = test::Mirror::Database(7, 3000);
    transport.behaviour = Serve(database);
    listener.onSucceeded = [] { throw AppError("label lost"); };
    run(job);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("label lost"), std::string::npos) << errors.messages[0];
    EXPECT_EQ(Content(db("main.cvd")), database);
    EXPECT_EQ(Stored().TotalUpdates(), 4);

    // A cancelled run tells its window nothing, but its error is shown.
    Settings().SetLastUpdateDate(TodaySerial() - 100);
    transport.behaviour =
        HangUntilStopped([]() -> TransferOutcome { throw std::runtime_error("teardown failed"); });
    listener.events.clear();
    job.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return listener.saw("progress"); }));
    job.Cancel();
    ASSERT_TRUE(test::PumpUntil([&] { return !job.Running(); }, 20000));
    ASSERT_EQ(errors.messages.size(), 2u);
    EXPECT_NE(errors.messages[1].find("teardown failed"), std::string::npos) << errors.messages[1];
    EXPECT_FALSE(listener.saw("failed"));
    EXPECT_FALSE(fs::exists(db("main2.cvd")));
}

}  // namespace
}  // namespace tolvar
