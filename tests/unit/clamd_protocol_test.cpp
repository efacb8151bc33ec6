// The clamd protocol's words. The replies are the bytes Debian's clamd 1.4.6
// sent back to one zIDSESSION that scanned ClamAV's test files with
// test-6.cvd loaded (and one plain zSCAN of a folder), copied as they came.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/clamd_protocol.h"

namespace tolvar {
namespace {

using namespace std::string_literals;

const std::string kSessionReplies =
    "7: ClamAV 1.4.6\0"
    "9: PONG\0"
    "3: /tmp/cd/files/empty.txt: OK\0"
    "5: /tmp/cd/files/nope: File path check failure: No such file or directory. ERROR\0"
    "6: /tmp/cd/files/vault/clam.exe: Excluded\0"
    "8: stream: OK\0"
    "1: /tmp/cd/files/clam.exe: Clamav.Test.File-6 FOUND\0"
    "2: /tmp/cd/files/clam.zip: Clamav.Test.File-6 FOUND\0"
    "4: /tmp/cd/files/clean \xc3\xa4: x.txt: OK\0"s;

std::vector<ClamdReply> Parsed(std::string pending) {
    std::vector<ClamdReply> replies;
    ForEachClamdReply(pending,
                      [&](std::string_view text) { replies.push_back(ParseClamdReply(text)); });
    EXPECT_TRUE(pending.empty());
    return replies;
}

// Replies come out of order and name paths that may hold ": ": each must
// keep its number, verdict and path, or a detection would land on the wrong
// file.
TEST(ClamdProtocol, SessionRepliesFromClamd) {
    const std::vector<ClamdReply> r = Parsed(kSessionReplies);
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[0].id, 7u);
    EXPECT_EQ(r[0].verdict, ClamdVerdict::Other);
    EXPECT_EQ(r[0].detail, "ClamAV 1.4.6");
    EXPECT_EQ(r[1].detail, "PONG");
    EXPECT_EQ(r[2].id, 3u);
    EXPECT_EQ(r[2].verdict, ClamdVerdict::Clean);
    EXPECT_EQ(r[2].path, "/tmp/cd/files/empty.txt");
    EXPECT_EQ(r[3].verdict, ClamdVerdict::Error);
    EXPECT_EQ(r[3].path, "/tmp/cd/files/nope");
    EXPECT_EQ(r[3].detail, "File path check failure: No such file or directory.");
    EXPECT_EQ(r[4].verdict, ClamdVerdict::Excluded);
    EXPECT_EQ(r[5].path, "stream");
    EXPECT_EQ(r[5].verdict, ClamdVerdict::Clean);
    EXPECT_EQ(r[6].id, 1u);
    EXPECT_EQ(r[6].verdict, ClamdVerdict::Found);
    EXPECT_EQ(r[6].path, "/tmp/cd/files/clam.exe");
    EXPECT_EQ(r[6].detail, "Clamav.Test.File-6");
    EXPECT_EQ(r[8].verdict, ClamdVerdict::Clean);
    EXPECT_EQ(r[8].path, "/tmp/cd/files/clean \xc3\xa4: x.txt");
}

// A reply split across reads is kept until its zero byte arrives; replies
// without a number (outside a session, or clamd's own complaints) carry
// none and still read.
TEST(ClamdProtocol, PartialAndUnnumberedReplies) {
    std::string pending = "1: C:\\a b\\x.exe: Clamav.Test.Fi";
    std::vector<ClamdReply> seen;
    const auto collect = [&](std::string_view text) { seen.push_back(ParseClamdReply(text)); };
    ForEachClamdReply(pending, collect);
    EXPECT_TRUE(seen.empty());
    pending += "le-6 FOUND\0/tmp/cd/files/vault: Excluded\0INSTREAM size limit exceeded. ERROR\0"s;
    ForEachClamdReply(pending, collect);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].path, "C:\\a b\\x.exe");
    EXPECT_EQ(seen[0].detail, "Clamav.Test.File-6");
    EXPECT_FALSE(seen[1].id);
    EXPECT_EQ(seen[1].verdict, ClamdVerdict::Excluded);
    EXPECT_EQ(seen[2].verdict, ClamdVerdict::Error);
    EXPECT_EQ(seen[2].detail, "INSTREAM size limit exceeded.");
    const ClamdReply limit = ParseClamdReply("1: INSTREAM size limit exceeded. ERROR");
    EXPECT_EQ(limit.id, 1u);
    EXPECT_EQ(limit.verdict, ClamdVerdict::Error);
}

TEST(ClamdProtocol, CommandsAndChunkLengths) {
    EXPECT_EQ(ClamdCommand("IDSESSION"), "zIDSESSION\0"s);
    EXPECT_EQ(ClamdCommand("SCAN", "C:\\\xc3\xa4.txt"), "zSCAN C:\\\xc3\xa4.txt\0"s);
    EXPECT_EQ(InstreamChunkLength(0x01020304), (std::array<char, 4>{1, 2, 3, 4}));
    EXPECT_EQ(InstreamChunkLength(0), (std::array<char, 4>{0, 0, 0, 0}));
    const std::array<char, 4> big = InstreamChunkLength(0xFFFFFFFFu);
    for (const char c : big)
        EXPECT_EQ(static_cast<unsigned char>(c), 0xFF);
}

// The engine's address comes from the registry as the user typed it.
TEST(ClamdProtocol, Addresses) {
    EXPECT_EQ(ParseClamdAddress(" 127.0.0.1:3310 "), (ClamdAddress{"127.0.0.1", 3310}));
    EXPECT_EQ(ParseClamdAddress("av.office.lan:3310"), (ClamdAddress{"av.office.lan", 3310}));
    EXPECT_EQ(ParseClamdAddress("[::1]:3310"), (ClamdAddress{"::1", 3310}));
    for (const char* bad : {"", "clamscan", "host", "host:", ":3310", "host:0", "host:65536",
                            "host:33a", "::1:3310", "[::1]3310", "ho st:1", "host:-1"}) {
        EXPECT_FALSE(ParseClamdAddress(bad)) << bad;
    }
    EXPECT_EQ(ClamdAddressText({"::1", 3310}), "[::1]:3310");
    EXPECT_EQ(ClamdAddressText({"127.0.0.1", 1}), "127.0.0.1:1");

    for (const char* local : {"127.0.0.1", "127.1.2.3", "localhost", "LOCALHOST", "::1"})
        EXPECT_TRUE(IsLocalHost(local)) << local;
    for (const char* remote : {"10.0.0.5", "127.0.0", "127.0.0.1.example", "localhost.lan", "::2",
                               "av.office.lan", "1127.0.0.1"})
        EXPECT_FALSE(IsLocalHost(remote)) << remote;
}

TEST(ClamdProtocol, Versions) {
    const auto loaded = ParseClamdVersion("ClamAV 1.4.6/27460/Tue Dec  8 09:27:02 2026");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->engine, "1.4.6");
    EXPECT_EQ(loaded->database, 27460u);
    // clamd with no daily database (only test databases) names no version.
    const auto bare = ParseClamdVersion("ClamAV 1.4.6");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->engine, "1.4.6");
    EXPECT_FALSE(bare->database);
    EXPECT_FALSE(ParseClamdVersion("PONG"));
    EXPECT_FALSE(ParseClamdVersion("ClamAV "));
}

}  // namespace
}  // namespace tolvar
