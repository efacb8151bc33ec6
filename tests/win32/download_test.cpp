// Transfers through the system's transport against the test mirror: the
// status, the announced size and the proxy's login reach the program, and an
// error of the program's own progress function never passes through the
// system's download library.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "test_mirror.h"
#include "updates/mirror_address.h"
#include "updates/proxy_download_win.h"
#include "updates/system_transport_win.h"
#include "updates/url_download_win.h"

namespace tolvar {
namespace {

class Transfers : public testing::Test {
protected:
    Transfers() : file_((std::filesystem::temp_directory_path() / "tolvar-transfer.bin").string()) {
        std::filesystem::remove(file_);
    }
    ~Transfers() override { std::filesystem::remove(file_); }

    TransferOutcome fetch(const std::string& mirrorAddress, const ProxySettings& proxy = {}) {
        return transport_.Fetch(DatabaseUrl(mirrorAddress, "/main.cvd"), file_, proxy,
                                [this](unsigned long done, unsigned long expected) {
                                    lastDone = done;
                                    lastExpected = expected;
                                    return true;
                                });
    }
    std::string saved() const {
        std::ifstream in(file_, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    test::Mirror mirror;
    SystemTransport transport_;
    std::string file_;
    unsigned long lastDone = 0;
    unsigned long lastExpected = 0;
};

// The folder a loaded module came from, in upper case.
std::string ModuleFolder(HMODULE module) {
    char path[MAX_PATH];
    if (GetModuleFileNameA(module, path, MAX_PATH) == 0) return "";
    CharUpperA(path);
    return std::filesystem::path(path).parent_path().string();
}

TEST(DownloadLibrary, BothComeFromTheSystemFolderOnly) {
    // A DLL of either name planted beside the program or in the current
    // folder is no download library; the program runs elevated.
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::filesystem::path folder = std::filesystem::path(exe).parent_path();
    for (const char* name : {"urlmon.dll", "wininet.dll"})
        std::ofstream(folder / name, std::ios::binary) << "MZ planted, not a library";
    UrlmonLibrary urlmon;
    WininetLibrary wininet;
    for (const char* name : {"urlmon.dll", "wininet.dll"})
        std::filesystem::remove(folder / name);
    ASSERT_TRUE(urlmon.loaded());
    ASSERT_TRUE(wininet.loaded());
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CharUpperA(system);
    EXPECT_EQ(ModuleFolder(urlmon.module()), system);
    EXPECT_EQ(ModuleFolder(wininet.module()), system);
}

TEST(TransferCallback, AnswersTheLibraryAndNeverLetsAnErrorOut) {
    bool carryOn = true;
    int calls = 0;
    const ProgressFn progress = [&](unsigned long, unsigned long) {
        ++calls;
        if (calls == 3) throw std::runtime_error("gauge gone");
        return carryOn;
    };
    TransferCallback callback(progress);
    EXPECT_EQ(callback.OnResponse(
                  429, L"Content-Type: text/plain\r\nretry-after: 90\r\nContent-Length: 100\r\n",
                  nullptr, nullptr),
              S_OK);
    EXPECT_EQ(callback.outcome.httpStatus, 429);
    EXPECT_EQ(callback.outcome.retryAfter, "90");
    EXPECT_EQ(callback.outcome.announcedBytes, 100u);
    // The length is the mirror's word, not the progress reports': without a
    // Content-Length the library reports what came so far as the whole.
    EXPECT_EQ(callback.OnProgress(10, 250, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
    EXPECT_EQ(callback.outcome.announcedBytes, 100u);
    carryOn = false;
    EXPECT_EQ(callback.OnProgress(20, 100, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);

    // The library's frames must never be unwound: the error is kept and
    // the transfer aborted, and nothing of ours runs again.
    HRESULT answer = S_OK;
    EXPECT_NO_THROW(answer = callback.OnProgress(30, 100, BINDSTATUS_DOWNLOADINGDATA, nullptr));
    EXPECT_EQ(answer, E_ABORT);
    ASSERT_TRUE(callback.error);
    EXPECT_EQ(callback.OnProgress(40, 100, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
    EXPECT_EQ(callback.OnResponse(200, L"", nullptr, nullptr), E_ABORT);
    EXPECT_EQ(calls, 3);
}

TEST_F(Transfers, AWholeFileWithItsStatusAndSize) {
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string database = test::Mirror::Database(3, 40000);
    mirror.put("main.cvd", database);
    const TransferOutcome outcome = fetch(mirror.address());
    ASSERT_TRUE(outcome.facilityLoaded);
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(outcome.httpStatus, 200);
    EXPECT_EQ(outcome.announcedBytes, database.size());
    EXPECT_EQ(lastDone, database.size());
    EXPECT_EQ(saved(), database);
}

TEST_F(Transfers, ErrorStatusesAreSeen) {
    TOLVAR_NEEDS_MIRROR(mirror);
    mirror.put("main.cvd", test::Mirror::Database(3, 1000));
    for (const char* mode : {"404", "403"}) {
        mirror.setMode(mode);
        EXPECT_EQ(fetch(mirror.address()).httpStatus, std::stoi(mode)) << mode;
    }
    mirror.setMode("429 90");
    const TransferOutcome busy = fetch(mirror.address());
    EXPECT_EQ(busy.httpStatus, 429);
    EXPECT_EQ(busy.retryAfter, "90");
}

TEST_F(Transfers, WithoutAContentLengthTheLengthStaysUnknown) {
    // A connection that breaks off looks like the end of such a file: the
    // library reports success either way, so only a length the mirror
    // announced can tell a whole file from a cut one.
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string database = test::Mirror::Database(3, 40000);
    mirror.put("main.cvd", database);
    mirror.setMode("unsized");
    const TransferOutcome whole = fetch(mirror.address());
    EXPECT_EQ(whole.httpStatus, 200);
    EXPECT_EQ(whole.announcedBytes, 0u);
    EXPECT_EQ(saved(), database);
    mirror.setMode("unsized-short");
    const TransferOutcome cut = fetch(mirror.address());
    EXPECT_EQ(cut.announcedBytes, 0u);
    EXPECT_EQ(saved().size(), database.size() / 2);
}

TEST_F(Transfers, ProxyGetsTheRequestWithItsLogin) {
    TOLVAR_NEEDS_MIRROR(mirror);
    mirror.put("main.cvd", test::Mirror::Database(4, 1000));
    mirror.setMode("proxy-auth");
    const std::string address = mirror.address();
    ProxySettings proxy;
    proxy.use = true;
    proxy.server = address.substr(0, address.find(':'));
    proxy.port = address.substr(address.find(':') + 1);
    proxy.user = "Aladdin";
    proxy.password = "open sesame";
    const TransferOutcome outcome = fetch("mirror.invalid", proxy);
    EXPECT_EQ(outcome.httpStatus, 200);
    const auto requests = mirror.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(requests.back().find("mirror.invalid"), std::string::npos) << requests.back();
    EXPECT_NE(requests.back().find("proxy=yes proxy-authorization=Basic "
                                   "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="),
              std::string::npos)
        << requests.back();

    // Without a user name the proxy's refusal comes back as its status.
    proxy.user.clear();
    EXPECT_EQ(fetch("mirror.invalid", proxy).httpStatus, 407);
}

TEST_F(Transfers, AnErrorOfTheProgressFunctionStopsTheTransferAndComesOutAfterIt) {
    // Unwinding through the library's frames would leave it broken or end
    // the program; the error must come back to the caller, not be lost.
    TOLVAR_NEEDS_MIRROR(mirror);
    const std::string database = test::Mirror::Database(5, 300000);
    mirror.put("main.cvd", database);
    int calls = 0;
    const auto throwing = [&](unsigned long, unsigned long) -> bool {
        ++calls;
        throw std::runtime_error("gauge gone");
    };
    try {
        transport_.Fetch(DatabaseUrl(mirror.address(), "/main.cvd"), file_, {}, throwing);
        ADD_FAILURE() << "the progress function's error was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "gauge gone");
    }
    EXPECT_EQ(calls, 1) << "the transfer went on after the error";
    EXPECT_NE(saved(), database);

    // The library is still usable for the next transfer.
    EXPECT_EQ(fetch(mirror.address()).httpStatus, 200);
    EXPECT_EQ(saved(), database);
}

TEST_F(Transfers, AnErrorOfTheProgressFunctionComesOutOfAProxyTransferToo) {
    TOLVAR_NEEDS_MIRROR(mirror);
    mirror.put("main.cvd", test::Mirror::Database(6, 1000));
    mirror.setMode("proxy-auth");
    const std::string address = mirror.address();
    ProxySettings proxy;
    proxy.use = true;
    proxy.server = address.substr(0, address.find(':'));
    proxy.port = address.substr(address.find(':') + 1);
    proxy.user = "a";
    EXPECT_THROW(transport_.Fetch(DatabaseUrl("mirror.invalid", "/main.cvd"), file_, proxy,
                                  [](unsigned long, unsigned long) -> bool {
                                      throw std::runtime_error("gauge gone");
                                  }),
                 std::runtime_error);
}

}  // namespace
}  // namespace tolvar
