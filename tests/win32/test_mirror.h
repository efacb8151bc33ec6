#pragma once

// The test mirror started around the Win32 tests (tests/support/
// with_test_mirror.sh): its address, the files it serves, how it answers,
// and the requests it saw.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "updates/md5.h"

namespace tolvar::test {

class Mirror {
public:
    Mirror() {
        const char* address = std::getenv("TOLVAR_TEST_MIRROR");
        const char* root = std::getenv("TOLVAR_TEST_MIRROR_ROOT");
        if (address && root) {
            address_ = address;
            root_ = root;
            setMode("good");
            std::filesystem::remove(root_ / "requests.log");
        }
    }
    bool available() const { return !address_.empty(); }
    const std::string& address() const { return address_; }

    void setMode(const std::string& mode) const {
        std::ofstream(root_ / "mode", std::ios::binary) << mode << "\n";
    }

    // A database file as the mirror publishes it: the 512-byte header with
    // its body's MD5, then bodyBytes bytes of the given filler.
    static std::string Database(int version, std::size_t bodyBytes, char filler = 'x') {
        const std::string body(bodyBytes, filler);
        Md5 sum;
        sum.Update(body);
        std::string header = "ClamAV-VDB:07 Dec 2026 06-00 +0000:" + std::to_string(version) +
                             ":1234:90:" + sum.HexDigest() + ":testsig:tolvar-test:1796623200";
        header.resize(512, ' ');
        return header + body;
    }

    void put(const std::string& name, const std::string& content) const {
        std::ofstream(root_ / "files" / name, std::ios::binary) << content;
    }
    void remove(const std::string& name) const { std::filesystem::remove(root_ / "files" / name); }

    std::vector<std::string> requests() const {
        std::ifstream in(root_ / "requests.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::string address_;
    std::filesystem::path root_;
};

// A file of the Linux folder the environment variable names, reached
// through Wine's Z: drive; "" when the folder or the file is not there.
inline std::string FileOfLinuxFolder(const char* folderVariable, const std::string& name) {
    const char* folder = std::getenv(folderVariable);
    if (!folder || !*folder) return "";
    std::string path = std::string("Z:") + folder + "/" + name;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return content;
}

// ClamAV's own signed test databases (test-1.cvd ... test-6.cvd and the
// patches test-2.cdiff ... test-6.cdiff), fetched by the build scripts into
// the folder TOLVAR_CLAMAV_TESTFILES names.
inline std::string ClamavTestFile(const std::string& name) {
    return FileOfLinuxFolder("TOLVAR_CLAMAV_TESTFILES", name);
}

// test.cld as Debian's freshclam wrote it when it patched test-5.cvd with
// test-6.cdiff (version 6, with the EICAR signature, "X" where a .cvd has
// its MD5 and signature), made once by the build scripts into the folder
// TOLVAR_CLAMAV_PATCHED names.
inline std::string FreshclamPatchedDatabase() {
    return FileOfLinuxFolder("TOLVAR_CLAMAV_PATCHED", "test.cld");
}

#define TOLVAR_NEEDS_MIRROR(mirror) \
    if (!(mirror).available()) GTEST_SKIP() << "no test mirror (run through with_test_mirror.sh)"

}  // namespace tolvar::test
