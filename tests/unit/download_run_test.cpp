// The portable decisions of a database download run: the plan taken from
// the settings, the gauge's reading, what a good run records, and the reason
// line for a run stopped by an error.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/date_serial.h"
#include "core/settings_record.h"
#include "updates/download_run.h"

namespace tolvar {
namespace {

const double kToday = DateSerial(2026, 12, 7);
const std::string kFolder = "C:\\Data\\db\\";

TEST(DownloadPlan, FilesAddressesAndProxyComeFromTheSettings) {
    SettingsRecord settings;
    settings.SetLastUpdateDate(kToday - 100);
    settings.SetUseProxy(true);
    settings.SetProxyServer("proxy.example");
    settings.SetProxyPort("3128");
    settings.SetProxyUser("user");
    settings.SetProxyPassword("secret");

    // Long after the last update: the full database, and the daily one
    // with the newest signatures.
    DownloadPlan full = PlanDownload(settings, kToday, "mirror.example", kFolder);
    ASSERT_EQ(full.files.size(), 2u);
    EXPECT_EQ(full.files[0].name, "main.cvd");
    EXPECT_EQ(full.files[0].url, "http://mirror.example/main.cvd");
    EXPECT_EQ(full.files[0].liveFile, kFolder + "main.cvd");
    EXPECT_EQ(full.files[0].pendingFile, kFolder + "main2.cvd");
    EXPECT_EQ(full.files[1].url, "http://mirror.example/daily.cvd");
    EXPECT_EQ(full.files[1].liveFile, kFolder + "daily.cvd");
    EXPECT_EQ(full.files[1].pendingFile, kFolder + "daily2.cvd");
    EXPECT_EQ(full.source, "http://mirror.example");
    EXPECT_TRUE(full.proxy.use);
    EXPECT_EQ(full.proxy.server, "proxy.example");
    EXPECT_EQ(full.proxy.port, "3128");
    EXPECT_EQ(full.proxy.user, "user");
    EXPECT_EQ(full.proxy.password, "secret");

    // The day after an update only the daily file.
    settings.SetLastUpdateDate(kToday - 1);
    settings.SetUseProxy(false);
    DownloadPlan daily = PlanDownload(settings, kToday, "", kFolder);
    ASSERT_EQ(daily.files.size(), 1u);
    EXPECT_EQ(daily.files[0].url, "http://database.clamav.net/daily.cvd");
    EXPECT_EQ(daily.files[0].liveFile, kFolder + "daily.cvd");
    EXPECT_NE(daily.files[0].pendingFile, daily.files[0].liveFile);
    EXPECT_FALSE(daily.proxy.use);
}

TEST(DownloadPlan, EveryScheduleBringsTheDailyDatabase) {
    // With the weekly, monthly and "Intervals of" schedules a due run lies
    // days after the last one; fetching only the full database again would
    // never bring a new signature.
    for (double daysAgo : {7.0, 30.0, 12.0, 2.0}) {
        SettingsRecord settings;
        settings.SetLastUpdateDate(kToday - daysAgo);
        const DownloadPlan plan = PlanDownload(settings, kToday, "m.example", kFolder);
        ASSERT_FALSE(plan.files.empty());
        EXPECT_EQ(plan.files.back().name, "daily.cvd") << daysAgo << " days";
    }
}

TEST(DownloadGauge, HugeTransfersShowFullRatherThanNegative) {
    EXPECT_EQ(GaugeFor(0, 0).maximum, 0);  // the mirror did not say: 0 of 0
    EXPECT_EQ(GaugeFor(0, 0).position, 0);
    EXPECT_EQ(GaugeFor(500, 1000).position, 500);
    EXPECT_EQ(GaugeFor(500, 1000).maximum, 1000);
    const unsigned long intMax = static_cast<unsigned long>(INT_MAX);
    EXPECT_EQ(GaugeFor(intMax, intMax).maximum, INT_MAX);
    EXPECT_EQ(GaugeFor(intMax + 1UL, intMax + 1UL).maximum, INT_MAX);
    EXPECT_EQ(GaugeFor(intMax + 1UL, intMax + 1UL).position, INT_MAX);
    const unsigned long most = std::numeric_limits<unsigned long>::max();
    EXPECT_EQ(GaugeFor(most, most).position, INT_MAX);
    EXPECT_EQ(GaugeFor(most, most).maximum, INT_MAX);
}

TEST(DownloadCount, AGoodRunRecordsWhatItInstalledOneMoreUpdateAndToday) {
    SettingsRecord settings;
    settings.SetTotalUpdates(3);
    settings.SetLastUpdateSize(777);
    settings.SetLastUpdateDate(kToday - 100);
    CountUpdate(settings, 30512, kToday);
    EXPECT_EQ(settings.TotalUpdates(), 4);
    EXPECT_EQ(settings.LastUpdateSize(), 30512);
    EXPECT_EQ(settings.LastUpdateDate(), kToday);
}

TEST(DownloadCount, RecordLimitsHoldInsteadOfWrapping) {
    // A file beyond the record's 32-bit size field, and a damaged record
    // already at the largest count (one more would overflow).
    SettingsRecord settings;
    settings.SetTotalUpdates(std::numeric_limits<std::int32_t>::max());
    CountUpdate(settings, std::uint64_t{5} << 31, kToday);
    EXPECT_EQ(settings.LastUpdateSize(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(settings.TotalUpdates(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(settings.LastUpdateDate(), kToday);
}

TEST(DownloadFailure, AnErrorGivesOneReasonLineWithItsMessage) {
    EXPECT_EQ(FailureReason(std::make_exception_ptr(std::runtime_error("disk gone"))),
              "Reason: the download stopped on an error: disk gone.");
    // No doubled full stop when the message brings its own.
    EXPECT_EQ(FailureReason(std::make_exception_ptr(std::runtime_error("Disk gone.\r\n"))),
              "Reason: the download stopped on an error: Disk gone.");
    EXPECT_EQ(FailureReason(std::make_exception_ptr(std::runtime_error(""))),
              "Reason: the download stopped on an error.");
    EXPECT_EQ(FailureReason(std::make_exception_ptr(42)),
              "Reason: the download stopped on an error of an unknown kind.");
    EXPECT_EQ(FailureReason(std::exception_ptr{}), "Reason: the download stopped on an error.");
}

}  // namespace
}  // namespace tolvar
