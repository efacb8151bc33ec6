// Transfers through the system's download library against the test mirror:
// the status, the announced size and the proxy's login reach the program.

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_mirror.h"
#include "updates/mirror_address.h"
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
        return DownloadToFile(library_, DatabaseUrl(mirrorAddress, "/main.cvd"), file_, proxy,
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
    UrlmonLibrary library_;
    std::string file_;
    unsigned long lastDone = 0;
    unsigned long lastExpected = 0;
};

TEST(DownloadLibrary, ComesFromTheSystemFolderOnly) {
    // A DLL of that name planted beside the program or in the current
    // folder is no download library; the program runs elevated.
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::filesystem::path planted = std::filesystem::path(exe).parent_path() / "urlmon.dll";
    std::ofstream(planted, std::ios::binary) << "MZ planted, not a library";
    UrlmonLibrary library;
    std::filesystem::remove(planted);
    ASSERT_TRUE(library.loaded());
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(library.module(), path, MAX_PATH), 0u);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CharUpperA(path);
    CharUpperA(system);
    EXPECT_EQ(std::string(path).rfind(std::string(system) + "\\", 0), 0u) << path;
}

TEST_F(Transfers, AWholeFileWithItsStatusAndSize) {
    TOLVAR_NEEDS_MIRROR(mirror);
    ASSERT_TRUE(library_.loaded());
    const std::string database = test::Mirror::Database(3, 40000);
    mirror.put("main.cvd", database);
    const TransferOutcome outcome = fetch(mirror.address());
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

}  // namespace
}  // namespace tolvar
