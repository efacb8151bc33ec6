// The database files as the program checks and chooses them, and the
// mirror's cool-down: the MD5 a downloaded body must have, the headers of
// the files ClamAV's tools made, which files the scanner is given, and when
// a run may start again.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/date_serial.h"
#include "updates/cool_down.h"
#include "updates/database_header.h"
#include "updates/md5.h"
#include "updates/scan_databases.h"

namespace tolvar {
namespace {

std::string Md5Of(const std::string& bytes) {
    Md5 sum;
    sum.Update(bytes);
    return sum.HexDigest();
}

TEST(Md5, TheStandardsTestSuite) {
    EXPECT_EQ(Md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Of("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                    "7890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesOfAnyLengthSumLikeTheWhole) {
    // A body arrives in reads of any size; lengths around the 64-byte block
    // and its 56-byte padding edge are where a sum goes wrong.
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i * 7 + 3);
    for (std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        const std::string whole = Md5Of(bytes.substr(0, length));
        for (std::size_t cut : {std::size_t{0}, std::size_t{1}, length / 2, length}) {
            Md5 pieces;
            pieces.Update(bytes.substr(0, cut));
            pieces.Update(bytes.substr(cut, length - cut));
            EXPECT_EQ(pieces.HexDigest(), whole) << length << " cut at " << cut;
        }
    }
}

// A file ClamAV's own tools made, from the folder the environment variable
// names (set by the tests' build): ClamAV's signed test databases
// (TOLVAR_CLAMAV_TESTFILES) or test.cld, which Debian's freshclam patched
// from test-5.cvd with test-6.cdiff (TOLVAR_CLAMAV_PATCHED;
// scripts/make-patched-database.sh). Under Wine the Linux file system is
// drive Z:.
std::string MadeByClamav(const char* folderVariable, const std::string& name) {
    const char* folder = std::getenv(folderVariable);
    if (!folder || !*folder) {
        ADD_FAILURE() << folderVariable << " is not set; ctest sets it";
        return "";
    }
    std::string path = std::string(folder) + "/" + name;
#ifdef _WIN32
    path = "Z:" + path;
#endif
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GT(content.size(), kDatabaseHeaderSize)
        << path << " is missing; the build scripts make it";
    return content;
}

std::optional<DatabaseHeader> HeaderOf(const std::string& file) {
    return ReadDatabaseHeader(std::string_view(file).substr(0, kDatabaseHeaderSize), file.size());
}

// Guards against the database freshclam writes when it patches (daily.cld
// from the second day on) being taken for no database: its header has "X"
// where a .cvd has its MD5 and signature, and the scanner never got it.
TEST(DatabaseHeader, TheDatabaseFreshclamPatchedGivesItsFiguresAndNoChecksum) {
    const std::string patched = MadeByClamav("TOLVAR_CLAMAV_PATCHED", "test.cld");
    ASSERT_NE(patched.substr(0, kDatabaseHeaderSize).find(":6:14:81:X:X:micasnyd:"),
              std::string::npos)
        << "not the header freshclam writes when it patches: " << patched.substr(0, 80);
    const std::optional<DatabaseHeader> header = HeaderOf(patched);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, 6);
    EXPECT_EQ(header->signatures, 14);
    EXPECT_EQ(header->functionalityLevel, 81);
    EXPECT_FALSE(header->bodyMd5);

    // Its "X"s come as a pair: a checksum given as "X" beside a signature is
    // no header ClamAV writes; and a header without its body is none.
    std::string half = patched;
    half.replace(half.find(":X:X:"), 5, ":X:s:");
    EXPECT_FALSE(HeaderOf(half));
    EXPECT_FALSE(ReadDatabaseHeader(patched.substr(0, kDatabaseHeaderSize), kDatabaseHeaderSize));
}

// Guards against reading the patched header's "X" losing the checksum of a
// database as the mirror publishes it, which the program's own download
// checks.
TEST(DatabaseHeader, ASignedDatabaseStillGivesItsBodysChecksum) {
    const std::string published = MadeByClamav("TOLVAR_CLAMAV_TESTFILES", "test-6.cvd");
    const std::optional<DatabaseHeader> header = HeaderOf(published);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, 6);
    EXPECT_EQ(header->functionalityLevel, 81);
    ASSERT_TRUE(header->bodyMd5);
    Md5 body;
    body.Update(published.substr(kDatabaseHeaderSize));
    EXPECT_EQ(*header->bodyMd5, body.HexDigest());
}

// Guards against a database the scanner would refuse being named: ClamAV
// checks a .cvd's signature and, when one fails, loads nothing at all (a
// patched database saved as daily.cvd: "Can't verify database integrity"),
// while a .cld is loaded signed or not.
TEST(ScanDatabases, APatchedDatabaseCountsOnlyAsACldAndTheNewerOfAPairWins) {
    const std::string patched = MadeByClamav("TOLVAR_CLAMAV_PATCHED", "test.cld");
    const std::string older = MadeByClamav("TOLVAR_CLAMAV_TESTFILES", "test-5.cvd");
    const std::string same = MadeByClamav("TOLVAR_CLAMAV_TESTFILES", "test-6.cvd");
    const auto counted = [](const char* name, const std::string& file) {
        return CountedVersion(name, std::string_view(file).substr(0, kDatabaseHeaderSize),
                              file.size());
    };
    EXPECT_EQ(counted("daily.cld", patched), 6);
    EXPECT_EQ(counted("DAILY.CLD", patched), 6);
    EXPECT_FALSE(counted("daily.cvd", patched));
    EXPECT_FALSE(counted("daily.CVD", patched));
    EXPECT_EQ(counted("daily.cvd", same), 6);
    EXPECT_EQ(counted("daily.cld", same), 6);

    // What the updater leaves beside the mirror's main database: the
    // patched daily.cld, chosen over an older daily.cvd and, on equal
    // versions, over the .cvd too.
    const std::string main = MadeByClamav("TOLVAR_CLAMAV_TESTFILES", "test-1.cvd");
    EXPECT_EQ(ChooseScanDatabases({{"main.cvd", counted("main.cvd", main)},
                                   {"daily.cld", counted("daily.cld", patched)}}),
              (std::vector<std::string>{"main.cvd", "daily.cld"}));
    EXPECT_EQ(ChooseScanDatabases({{"daily.cvd", counted("daily.cvd", older)},
                                   {"daily.cld", counted("daily.cld", patched)}}),
              std::vector<std::string>{"daily.cld"});
    EXPECT_EQ(ChooseScanDatabases({{"daily.cvd", counted("daily.cvd", same)},
                                   {"daily.cld", counted("daily.cld", patched)}}),
              std::vector<std::string>{"daily.cld"});
}

std::vector<std::string> Choose(const std::vector<DatabaseFileFound>& found) {
    return ChooseScanDatabases(found);
}

TEST(ScanDatabases, EveryDatabaseOnceTheNewerOfAPairAndNoBrokenFile) {
    // What ClamAV's updater leaves: all three, daily patched into a .cld.
    EXPECT_EQ(
        Choose(
            {{"bytecode.cvd", 335}, {"daily.cld", 27000}, {"freshclam.dat", {}}, {"main.cvd", 62}}),
        (std::vector<std::string>{"main.cvd", "daily.cld", "bytecode.cvd"}));
    // The program's own download brought a newer daily.cvd beside an older
    // .cld; and the other way round.
    EXPECT_EQ(Choose({{"main.cvd", 62}, {"daily.cld", 26990}, {"daily.cvd", 27000}}),
              (std::vector<std::string>{"main.cvd", "daily.cvd"}));
    EXPECT_EQ(Choose({{"main.cvd", 62}, {"daily.cld", 27001}, {"daily.cvd", 27000}}),
              (std::vector<std::string>{"main.cvd", "daily.cld"}));
    EXPECT_EQ(Choose({{"daily.cvd", 5}, {"daily.cld", 5}}), std::vector<std::string>{"daily.cld"});
    // A file that is no database (cut, damaged) is never given: the scanner
    // would refuse to load any. Its pair stands in for it.
    EXPECT_EQ(Choose({{"main.cvd", {}}, {"daily.cvd", 7}, {"daily.cld", {}}}),
              std::vector<std::string>{"daily.cvd"});
    // Waiting downloads and other files are no live databases; names are
    // matched as Windows matches them.
    EXPECT_EQ(Choose({{"main2.cvd", 63}, {"MAIN.CVD", 62}, {"safebrowsing.cvd", 1}}),
              std::vector<std::string>{"MAIN.CVD"});
    EXPECT_TRUE(Choose({}).empty());
}

// Guards against an ignore list given after the signatures (clamscan then
// ignores nothing), an empty allow list given at all (clamscan then loads no
// database and every scan fails), and the user's lists given alone.
TEST(ScanDatabases, TheUserListsComeAroundTheSignaturesWhenTheyCanBeLoaded) {
    EXPECT_EQ(Choose({{"local.fp", {}, 45}, {"main.cvd", 62}, {"LOCAL.IGN2", {}, 21}}),
              (std::vector<std::string>{"LOCAL.IGN2", "main.cvd", "local.fp"}));
    EXPECT_EQ(Choose({{"local.fp", {}, 0}, {"local.ign2", {}, 0}, {"daily.cld", 6}}),
              std::vector<std::string>{"daily.cld"});
    EXPECT_TRUE(Choose({{"local.fp", {}, 45}, {"local.ign2", {}, 21}}).empty());
}

const double kDay = DateSerial(2026, 12, 8);

double At(int hour, int minute, int second = 0) {
    return kDay + (hour * 3600 + minute * 60 + second) / 86400.0;
}

TEST(CoolDown, TimesAsTheUpdaterPrintsThemAndAsTheyAreStored) {
    ASSERT_TRUE(ParseLocalTime("2026-12-08 12:53:19"));
    EXPECT_DOUBLE_EQ(*ParseLocalTime("2026-12-08 12:53:19"), At(12, 53, 19));
    EXPECT_FALSE(ParseLocalTime("2026-02-30 12:00:00")) << "no such day";
    EXPECT_FALSE(ParseLocalTime("2026-12-08 25:00:00"));
    EXPECT_FALSE(ParseLocalTime("2026-12-08T12:53:19"));
    EXPECT_EQ(LocalTimeText(At(12, 53, 19)), "2026-12-08 12:53");
    EXPECT_EQ(LocalTimeText(At(23, 59, 59) + 0.4 / 86400.0), "2026-12-08 23:59");

    const CoolDown stored{At(9, 5, 7), "http://mirror.example"};
    EXPECT_EQ(CoolDownText(stored), "2026-12-08 09:05:07 http://mirror.example");
    const auto back = ParseCoolDown(CoolDownText(stored));
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->until, stored.until, 1e-9);
    EXPECT_EQ(back->source, stored.source);
    for (const char* damaged :
         {"", "2026-12-08 09:05:07", "yesterday freshclam", "2026-13-08 09:05:07 freshclam"}) {
        EXPECT_FALSE(ParseCoolDown(damaged)) << damaged;
    }
}

TEST(CoolDown, RetryAfterInSecondsOrAsAnHttpDate) {
    const double now = At(10, 0);
    ASSERT_TRUE(RetryAfterUntil("120", now, now));
    EXPECT_DOUBLE_EQ(*RetryAfterUntil(" 120 ", now, now), At(10, 2));
    // The date is GMT; local time here is an hour ahead of it.
    const double utc = now - 1.0 / 24;
    ASSERT_TRUE(RetryAfterUntil("Tue, 08 Dec 2026 11:30:00 GMT", now, utc));
    EXPECT_NEAR(*RetryAfterUntil("Tue, 08 Dec 2026 11:30:00 GMT", now, utc), At(12, 30), 1e-9);
    for (const char* unreadable : {"", "soon", "-5", "Tue, 08 Dec 2026 11:30:00 CET",
                                   "Tue, 08 Foo 2026 11:30:00 GMT", "12345678901"}) {
        EXPECT_FALSE(RetryAfterUntil(unreadable, now, now)) << unreadable;
    }
}

TEST(CoolDown, HoldsForItsSourceUntilItEndsAndNeverForLong) {
    const std::optional<CoolDown> stored = CoolDown{At(12, 0), kUpdaterSource};
    EXPECT_TRUE(ActiveCoolDown(stored, kUpdaterSource, At(11, 59)));
    EXPECT_FALSE(ActiveCoolDown(stored, kUpdaterSource, At(12, 0))) << "over at its end";
    // Another mirror's pause holds back none of this one's runs: a user
    // refused by ClamAV's mirror may switch to a mirror of their own.
    EXPECT_FALSE(ActiveCoolDown(stored, "http://mirror.example", At(11, 0)));
    EXPECT_FALSE(ActiveCoolDown(std::nullopt, kUpdaterSource, At(11, 0)));
    // A damaged value far ahead must not stop the updates for good.
    const std::optional<CoolDown> absurd = CoolDown{kDay + 400, kUpdaterSource};
    EXPECT_FALSE(ActiveCoolDown(absurd, kUpdaterSource, kDay));
    EXPECT_EQ(CoolDownReason(At(12, 0)),
              "Reason: the mirror has asked for a pause; no update can start before "
              "2026-12-08 12:00.");
}

}  // namespace
}  // namespace tolvar
