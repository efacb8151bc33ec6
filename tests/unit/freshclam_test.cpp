// ClamAV's updater as the program runs and reads it: its output line by
// line and as its progress line is redrawn, the verdict of its exit code
// and output, the configuration and command line it is given, and when it
// is the one to run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_error.h"
#include "core/date_serial.h"
#include "updates/cool_down.h"
#include "updates/freshclam_config.h"
#include "updates/freshclam_output.h"

namespace tolvar {
namespace {

FreshclamOutput Read(const std::string& text) {
    FreshclamOutput output;
    output.Feed(text);
    output.Finish();
    return output;
}

// Debian's freshclam downloading all three databases afresh, as it prints
// it (on Linux the progress line switches line wrapping off and on).
const std::string kFirstDownload =
    "ClamAV update process started at Tue Dec  8 11:52:45 2026\n"
    "WARNING: DNS Update Info disabled. Falling back to HTTP mode.\n"
    "Trying to retrieve CVD header from http://127.0.0.1:42887/daily.cvd\n"
    "OK\n"
    "daily database available for download (remote version: 6)\n"
    "\x1b[?7lTime:    0.0s, ETA:    0.0s [============>            ]     4.86KiB/9.72KiB\r\x1b[?7h"
    "\x1b[?7lTime:    0.0s, ETA:    0.0s [========================>]     9.72KiB/9.72KiB\n"
    "\x1b[?7hTesting database: '/tmp/db/tmp.2f5be0178c/clamav-df0f.tmp-daily.cvd' ...\n"
    "Database test passed.\n"
    "daily.cvd updated (version: 6, sigs: 14, f-level: 81, builder: micasnyd)\n"
    "Trying to retrieve CVD header from http://127.0.0.1:42887/main.cvd\n"
    "OK\n"
    "main database available for download (remote version: 1)\n"
    "main.cvd updated (version: 1, sigs: 0, f-level: 81, builder: micasnyd)\n"
    "bytecode.cvd database is up-to-date (version: 2, sigs: 0, f-level: 81, builder: micasnyd)\n";

TEST(FreshclamOutput, EachLineOfARunGivesItsStepAndTheUpdatedFiles) {
    FreshclamOutput output;
    const auto stepAfter = [&](const std::string& line) {
        output.Feed(line + "\n");
        return output.Step();
    };
    EXPECT_EQ(stepAfter("ClamAV update process started at Tue Dec  8 11:52:45 2026"), "");
    EXPECT_EQ(stepAfter("Trying to retrieve CVD header from http://m.example/daily.cvd"),
              "Checking the daily database");
    EXPECT_EQ(stepAfter("daily database available for update (local version: 3, remote "
                        "version: 6)"),
              "Updating the daily database (version 3 to 6)");
    EXPECT_EQ(stepAfter("Current database is 3 versions behind."),
              "Updating the daily database (version 3 to 6)");
    EXPECT_EQ(stepAfter("Downloading database patch # 4..."),
              "Downloading patch 4 of the daily database");
    EXPECT_EQ(stepAfter("WARNING: Incremental update failed, trying to download daily.cvd"),
              "Downloading the whole daily database");
    EXPECT_EQ(stepAfter("Testing database: 'C:\\db\\tmp.1\\clamav-1.tmp-daily.cvd' ..."),
              "Testing the new daily database");
    EXPECT_EQ(stepAfter("daily.cld updated (version: 6, sigs: 14, f-level: 81, builder: m)"),
              "The daily database is updated (version 6)");
    EXPECT_EQ(stepAfter("main database available for download (remote version: 62)"),
              "Downloading the main database (version 62)");
    EXPECT_EQ(stepAfter("main.cvd database is up-to-date (version: 62, sigs: 6647427, "
                        "f-level: 90, builder: sigmgr)"),
              "The main database is up to date (version 62)");
    EXPECT_EQ(output.UpdatedFiles(), std::vector<std::string>{"daily.cld"});
    EXPECT_FALSE(output.Refused());
    EXPECT_FALSE(output.RateLimited());
    EXPECT_FALSE(output.StillCoolingDown());

    const FreshclamOutput first = Read(kFirstDownload);
    EXPECT_EQ(first.UpdatedFiles(), (std::vector<std::string>{"daily.cvd", "main.cvd"}));
    EXPECT_EQ(first.Step(), "The bytecode database is up to date (version 2)");
}

TEST(FreshclamOutput, TheProgressLineIsReadAsItIsRedrawnWhereverTheReadsSplitIt) {
    // The same output fed in every split of two reads, and byte by byte:
    // the gauge's last reading and the step must not depend on where a read
    // ended (in a progress line, in an escape, between CR and LF).
    const std::string text =
        "daily database available for download (remote version: 27000)\n"
        "Time:    1.2s, ETA:    0.3s [=====>                   ]    1.23MiB/160.00MiB\r"
        "Time:    2.0s, ETA:    0.1s [==========>              ]   80.00MiB/160.00MiB\r\n";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        FreshclamOutput output;
        output.Feed(text.substr(0, cut));
        output.Feed(text.substr(cut));
        EXPECT_EQ(output.Progress().position, 80 * 1024 * 1024) << "cut at " << cut;
        EXPECT_EQ(output.Progress().maximum, 160 * 1024 * 1024) << "cut at " << cut;
        EXPECT_EQ(output.Step(), "Downloading the daily database (version 27000)");
    }
    FreshclamOutput byByte;
    for (char c : kFirstDownload)
        byByte.Feed(std::string(1, c));
    EXPECT_EQ(byByte.UpdatedFiles(), Read(kFirstDownload).UpdatedFiles());

    // The first redraw, before the line is done.
    FreshclamOutput partial;
    partial.Feed(text.substr(0, text.find('\r') + 1));
    EXPECT_EQ(partial.Progress().position, static_cast<int>(1.23 * 1024 * 1024));
    // A new database starts its gauge again.
    partial.Feed("main database available for download (remote version: 62)\n");
    EXPECT_EQ(partial.Progress().position, 0);
    EXPECT_EQ(partial.Progress().maximum, 0);
    // Bytes and KiB, and a line that only looks like progress.
    EXPECT_EQ(Read("Time: 0.0s [>  ] 512B/2.00KiB\n").Progress().maximum, 2048);
    EXPECT_EQ(Read("Time: 0.0s [>  ] 512B/2.00KiB\nTime: odd\n").Progress().position, 512);
}

TEST(FreshclamOutput, RefusalsCoolDownsAndErrorsAreRecognised) {
    const FreshclamOutput refused = Read(
        "WARNING: FreshClam received error code 403 from the ClamAV Content Delivery Network "
        "(CDN).\nThis could mean several things:\n"
        "WARNING: You are on cool-down until after: 2026-12-09 11:53:09\n");
    EXPECT_TRUE(refused.Refused());
    EXPECT_FALSE(refused.StillCoolingDown());
    ASSERT_TRUE(refused.CoolDownUntil());
    EXPECT_DOUBLE_EQ(*refused.CoolDownUntil(),
                     DateSerial(2026, 12, 9) + (11 * 3600 + 53 * 60 + 9) / 86400.0);

    const FreshclamOutput limited = Read(
        "WARNING: FreshClam received error code 429 from the ClamAV Content Delivery "
        "Network (CDN).\nWARNING: You are on cool-down until after: 2026-12-08 12:53:19\n");
    EXPECT_TRUE(limited.RateLimited());
    EXPECT_FALSE(limited.Refused());

    const FreshclamOutput still = Read(
        "WARNING: FreshClam previously received error code 429 or 403 from the ClamAV Content "
        "Delivery Network (CDN).\nThis means that you have been rate limited or blocked by the "
        "CDN.\nWARNING: You are still on cool-down until after: 2026-12-09 11:53:09\n");
    EXPECT_TRUE(still.StillCoolingDown());
    EXPECT_FALSE(still.Refused()) << "the earlier refusal is no new one";
    EXPECT_FALSE(still.RateLimited());
    EXPECT_TRUE(still.CoolDownUntil());

    // A mirror that is down: the transfer library's message is the detail.
    const FreshclamOutput down = Read(
        "WARNING: remote_cvdhead: Download failed (7) WARNING:  Message: Couldn't connect to "
        "server\nERROR: check_for_new_database_version: Failed to find daily database using "
        "server http://127.0.0.1:1.\nGiving up on http://127.0.0.1:1...\n"
        "ERROR: Update failed for database: daily\n"
        "ERROR: Database update process failed: HTTP GET failed\nERROR: Update failed.\n");
    EXPECT_EQ(down.FailedDatabase(), "daily");
    EXPECT_EQ(down.ErrorDetail(), "Couldn't connect to server");

    // Otherwise the first specific error, without the function's name.
    const FreshclamOutput corrupt = Read(
        "ERROR: Verification: Can't verify database integrity\n"
        "ERROR: Update failed for database: main\nERROR: Update failed.\n");
    EXPECT_EQ(corrupt.ErrorDetail(), "Verification: Can't verify database integrity");
    EXPECT_EQ(
        Read("ERROR: mkdir_and_chdir_for_cdiff_tmp: Can't create directory x\n").ErrorDetail(),
        "Can't create directory x");
    EXPECT_EQ(Read("ERROR: Update failed.\n").ErrorDetail(), "") << "a summary is no detail";
}

TEST(FreshclamVerdict, ExitCodeAndOutputTogether) {
    const FreshclamResult updated = JudgeFreshclamRun(Read(kFirstDownload), 0);
    EXPECT_EQ(updated.verdict, FreshclamVerdict::Updated);
    EXPECT_FALSE(updated.coolDownUntil);

    const FreshclamResult upToDate = JudgeFreshclamRun(
        Read("daily.cvd database is up-to-date (version: 6, sigs: 14, f-level: 81, builder: "
             "m)\n"),
        0);
    EXPECT_EQ(upToDate.verdict, FreshclamVerdict::UpToDate);

    // A 429 and a run during a cool-down end with 0 as well: only the
    // output tells them from success.
    // One version behind and the mirror without that patch: the updater
    // settles and ends with 0, but nothing is up to date.
    const FreshclamResult noPatch = JudgeFreshclamRun(
        Read("daily database available for update (local version: 5, remote version: 6)\n"
             "Current database is 1 version behind.\nDownloading database patch # 6...\n"
             "WARNING: downloadPatch: Can't download daily-6.cdiff from http://m/daily-6.cdiff\n"
             "The database server doesn't have the latest patch for the daily database (version "
             "6). The server will likely have updated if you check again in a few hours.\n"
             "main.cvd database is up-to-date (version: 1, sigs: 0, f-level: 81, builder: m)\n"),
        0);
    EXPECT_EQ(noPatch.verdict, FreshclamVerdict::Failed);
    EXPECT_NE(noPatch.reason.find("patch to the newest daily database"), std::string::npos)
        << noPatch.reason;

    const FreshclamResult limited =
        JudgeFreshclamRun(Read("WARNING: FreshClam received error code 429 from the ClamAV CDN.\n"
                               "WARNING: You are on cool-down until after: 2026-12-08 12:53:19\n"),
                          0);
    EXPECT_EQ(limited.verdict, FreshclamVerdict::Failed);
    EXPECT_NE(limited.reason.find("(HTTP 429)"), std::string::npos) << limited.reason;
    EXPECT_NE(limited.reason.find("before 2026-12-08 12:53"), std::string::npos) << limited.reason;
    ASSERT_TRUE(limited.coolDownUntil);

    const FreshclamResult still = JudgeFreshclamRun(
        Read("WARNING: FreshClam previously received error code 429 or 403 from the CDN.\n"
             "WARNING: You are still on cool-down until after: 2026-12-09 11:53:09\n"),
        0);
    EXPECT_EQ(still.verdict, FreshclamVerdict::Failed);
    EXPECT_NE(still.reason.find("asked for a pause"), std::string::npos) << still.reason;
    EXPECT_NE(still.reason.find("before 2026-12-09 11:53"), std::string::npos) << still.reason;

    const FreshclamResult refused =
        JudgeFreshclamRun(Read("WARNING: FreshClam received error code 403 from the ClamAV CDN.\n"
                               "WARNING: You are on cool-down until after: 2026-12-09 11:53:09\n"),
                          17);
    EXPECT_EQ(refused.verdict, FreshclamVerdict::Failed);
    EXPECT_NE(refused.reason.find("refused the download (HTTP 403)"), std::string::npos);
    EXPECT_TRUE(refused.coolDownUntil);

    const FreshclamResult later = JudgeFreshclamRun(Read(""), 18);
    EXPECT_EQ(later.verdict, FreshclamVerdict::Failed);
    EXPECT_NE(later.reason.find("(HTTP 429); try again later."), std::string::npos) << later.reason;

    // An error, even after it updated something: nothing counts.
    const FreshclamResult down = JudgeFreshclamRun(
        Read(kFirstDownload + "ERROR: remote_cvdhead: Download failed (7) ERROR:  Message: "
                              "Couldn't connect to server\n"
                              "ERROR: Update failed for database: bytecode\n"),
        11);
    EXPECT_EQ(down.verdict, FreshclamVerdict::Failed);
    EXPECT_EQ(down.reason,
              "Reason: ClamAV's updater could not update the bytecode database: the mirror did "
              "not deliver the database (Couldn't connect to server).");
    EXPECT_EQ(JudgeFreshclamRun(Read(""), 7).reason,
              "Reason: ClamAV's updater could not update the databases: the mirror sent a "
              "damaged or unsigned database.");
    EXPECT_EQ(JudgeFreshclamRun(Read("ERROR: the freshclam bridge could not start freshclam\n"), 2)
                  .reason,
              "Reason: ClamAV's updater could not update the databases: it could not start (the "
              "freshclam bridge could not start freshclam).");
    // Ended from outside: the process's exit code says so in hexadecimal.
    EXPECT_NE(JudgeFreshclamRun(Read(""), 0xC000013AUL).reason.find("code 0xC000013A"),
              std::string::npos);
}

TEST(FreshclamConfig, FolderMirrorAndTheProxyWithItsLogin) {
    ProxySettings proxy;
    EXPECT_EQ(FreshclamConfig("C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\db\\", proxy),
              "# ClamAV's updater as Tolvar AntiVirus runs it; written anew before each update.\n"
              "DatabaseDirectory \"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\db\"\n"
              "DatabaseMirror database.clamav.net\n");

    // Entered but not ticked: a direct connection.
    proxy.server = "proxy.example";
    const std::string direct = FreshclamConfig("C:\\db\\", proxy);
    EXPECT_EQ(direct.find("HTTPProxy"), std::string::npos) << direct;

    proxy.use = true;
    proxy.port = " 3128 ";
    proxy.user = "Ann Smith";
    proxy.password = "pa\"ss word";
    const std::string config = FreshclamConfig("C:\\db\\", proxy);
    EXPECT_NE(config.find("HTTPProxyServer \"proxy.example\"\n"), std::string::npos) << config;
    EXPECT_NE(config.find("HTTPProxyPort 3128\n"), std::string::npos) << config;
    // In quotes, so blanks and quotes stay as typed (the updater reads up
    // to the line's last quote).
    EXPECT_NE(config.find("HTTPProxyUsername \"Ann Smith\"\n"), std::string::npos) << config;
    EXPECT_NE(config.find("HTTPProxyPassword \"pa\"ss word\"\n"), std::string::npos) << config;

    // The updater refuses an empty value: no password, no line.
    proxy.password.clear();
    EXPECT_EQ(FreshclamConfig("C:\\db\\", proxy).find("HTTPProxyPassword"), std::string::npos);
    proxy.port.clear();
    EXPECT_EQ(FreshclamConfig("C:\\db\\", proxy).find("HTTPProxyPort"), std::string::npos);
}

TEST(FreshclamConfig, AFieldThatWouldBreakTheFileIsRefused) {
    // A line break would end the setting and start one of the user's making.
    ProxySettings proxy;
    proxy.use = true;
    proxy.server = "proxy.example";
    proxy.user = "ann\nDatabaseMirror evil.example";
    EXPECT_THROW(FreshclamConfig("C:\\db\\", proxy), AppError);
    proxy.user = "ann";
    for (const char* port : {"80a", "0", "65536", "123456"}) {
        proxy.port = port;
        EXPECT_THROW(FreshclamConfig("C:\\db\\", proxy), AppError) << port;
    }
}

TEST(FreshclamCommand, ConfigurationFolderAndProgress) {
    EXPECT_EQ(
        FreshclamCommandLine("C:\\Program Files\\Tolvar AntiVirus\\bin\\snr\\1\\9\\freshclam.exe",
                             "C:\\Data\\freshclam.conf", "C:\\My Data\\db\\"),
        "\"C:\\Program Files\\Tolvar AntiVirus\\bin\\snr\\1\\9\\freshclam.exe\" "
        "--config-file=C:\\Data\\freshclam.conf --datadir=\"C:\\My Data\\db\" "
        "--show-progress --stdout");
}

TEST(UpdateMethod, TheUpdaterUnlessAMirrorOfTheUsersOwnIsSet) {
    EXPECT_TRUE(UpdatesThroughFreshclam(true, ""));
    EXPECT_TRUE(UpdatesThroughFreshclam(true, "  "));
    EXPECT_FALSE(UpdatesThroughFreshclam(true, "mirror.example"));
    EXPECT_FALSE(UpdatesThroughFreshclam(false, ""));
}

}  // namespace
}  // namespace tolvar
