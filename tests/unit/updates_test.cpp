#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "core/date_serial.h"
#include "core/settings_record.h"
#include "updates/database_figures.h"
#include "updates/database_header.h"
#include "updates/download_outcome.h"
#include "updates/mirror_address.h"
#include "updates/update_check.h"
#include "updates/update_schedule.h"

namespace tolvar {
namespace {

const double kToday = DateSerial(2026, 12, 7);

std::vector<DatabaseKind> Kinds(const std::vector<DatabaseFiles>& files) {
    std::vector<DatabaseKind> kinds;
    for (const DatabaseFiles& f : files)
        kinds.push_back(f.kind);
    return kinds;
}

TEST(DownloadChoice, FullDatabaseUnlessTheLastRunIsADayAwayAndTheDailyOneAlways) {
    const std::vector<DatabaseKind> both = {DatabaseKind::Main, DatabaseKind::Daily};
    const std::vector<DatabaseKind> daily = {DatabaseKind::Daily};
    SettingsRecord fresh;
    ApplyStaleUpdateReset(fresh, kToday);
    const std::vector<DatabaseFiles> first = ChooseDownloads(kToday, fresh.LastUpdateDate());
    ASSERT_EQ(Kinds(first), both);
    EXPECT_STREQ(first[0].remotePath, "/main.cvd");
    EXPECT_STREQ(first[1].remotePath, "/daily.cvd");
    EXPECT_STREQ(ChooseDownloads(kToday, kToday - 1)[0].pendingName, "daily2.cvd");
    EXPECT_STREQ(ChooseDownloads(kToday, kToday)[0].liveName, "daily.cvd");
    EXPECT_STREQ(ChooseDownloads(kToday, kToday - 2)[0].pendingName, "main2.cvd");
    // A weekly schedule: the week's signatures come with the daily file.
    EXPECT_EQ(Kinds(ChooseDownloads(kToday, kToday - 7)), both);
    // A date in the future counts by its distance.
    EXPECT_EQ(Kinds(ChooseDownloads(kToday, kToday + 1)), daily);
    EXPECT_EQ(Kinds(ChooseDownloads(kToday, kToday + 3)), both);
    EXPECT_EQ(Kinds(ChooseDownloads(kToday, std::numeric_limits<double>::quiet_NaN())), both);
}

SettingsRecord Schedule(UpdateSchedule schedule, double lastUpdate, std::uint8_t interval = 0) {
    SettingsRecord record;
    record.SetCheckSchedule(schedule);
    record.SetIntervalDays(interval);
    record.SetLastUpdateDate(lastUpdate);
    return record;
}

TEST(UpdateSchedule, DueAfterTheScheduledDays) {
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::Daily, kToday), kToday));
    EXPECT_TRUE(IsUpdateDue(Schedule(UpdateSchedule::Daily, kToday - 1), kToday));
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::Weekly, kToday - 6), kToday));
    EXPECT_TRUE(IsUpdateDue(Schedule(UpdateSchedule::Weekly, kToday - 7), kToday));
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::Monthly, kToday - 29), kToday));
    EXPECT_TRUE(IsUpdateDue(Schedule(UpdateSchedule::Monthly, kToday - 30), kToday));
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::NeverCheck, kToday - 400), kToday));
    // Intervals of 0 days: due at every start, even right after an update.
    EXPECT_TRUE(IsUpdateDue(Schedule(UpdateSchedule::IntervalsOf, kToday, 0), kToday));
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::IntervalsOf, kToday - 9, 10), kToday));
    // A last update in the future makes nothing due.
    EXPECT_FALSE(IsUpdateDue(Schedule(UpdateSchedule::Daily, kToday + 5), kToday));
    // A damaged schedule byte checks daily rather than never.
    EXPECT_TRUE(IsUpdateDue(Schedule(static_cast<UpdateSchedule>(9), kToday - 1), kToday));
}

TEST(UpdateSchedule, StaleResetMakesTheFirstCheckDue) {
    SettingsRecord record = Schedule(UpdateSchedule::NeverCheck, 0.0);
    record.SetTotalUpdates(5);
    ASSERT_TRUE(NeedsStaleUpdateReset(kToday, record.LastUpdateDate()));
    ApplyStaleUpdateReset(record, kToday);
    EXPECT_EQ(record.CheckSchedule(), UpdateSchedule::Daily);
    EXPECT_EQ(record.TotalUpdates(), 0);
    EXPECT_TRUE(IsUpdateDue(record, kToday));
    EXPECT_FALSE(NeedsStaleUpdateReset(kToday, kToday - 355));
}

std::string Header(const std::string& text) {
    std::string header = text;
    header.resize(kDatabaseHeaderSize, ' ');
    return header;
}

const std::string kGoodHeader =
    "ClamAV-VDB:07 Dec 2026 06-00 +0000:27000:2070000:90:0123456789abcdef0123456789ABCDEF:"
    "sig:builder:1796623200";

TEST(ScheduledCheck, WaitsStopsOffersOrDownloadsByTheRecord) {
    SettingsRecord s;
    s.SetCheckSchedule(UpdateSchedule::Weekly);
    s.SetLastUpdateDate(kToday - 7);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, false), UpdateCheckStep::OfferUpdate);
    // A running scan and an offer already up make the check wait, not end.
    EXPECT_EQ(DecideUpdateCheck(s, false, false, kToday, false), UpdateCheckStep::Wait);
    EXPECT_EQ(DecideUpdateCheck(s, true, true, kToday, false), UpdateCheckStep::Wait);
    s.SetFoundAction(FoundUpdateAction::DownloadAutomatically);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, false), UpdateCheckStep::DownloadNow);

    s.SetLastUpdateDate(kToday - 6);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, false), UpdateCheckStep::NotDue);
    // "Never Check" keeps the check waiting: a schedule saved later in the
    // run still takes effect.
    s.SetLastUpdateDate(kToday - 400);
    s.SetCheckSchedule(UpdateSchedule::NeverCheck);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, false), UpdateCheckStep::Wait);
}

TEST(ScheduledCheck, ADueUpdateWaitsForTheMirrorsCoolDown) {
    // A run during the cool-down would only be refused again (and the
    // official mirror lengthens the block of a client that keeps asking).
    SettingsRecord s;
    s.SetLastUpdateDate(kToday - 3);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, true), UpdateCheckStep::Wait);
    s.SetFoundAction(FoundUpdateAction::DownloadAutomatically);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, true), UpdateCheckStep::Wait);
    // Nothing due: the check ends as always.
    s.SetLastUpdateDate(kToday);
    EXPECT_EQ(DecideUpdateCheck(s, true, false, kToday, true), UpdateCheckStep::NotDue);
}

TEST(DatabasePage, FiguresAsThePageShowsThem) {
    SettingsRecord s;
    s.SetLastUpdateSize(30000);
    s.SetTotalUpdates(4);
    s.SetLastUpdateDate(kToday);
    double shownDate = 0;
    const DatabaseFigures figures = DatabaseFiguresOf(s, [&](double serial) {
        shownDate = serial;
        return std::string("07/12/2026");
    });
    EXPECT_EQ(shownDate, kToday);
    EXPECT_EQ(figures.lastUpdate, "07/12/2026");
    EXPECT_EQ(figures.updateSize, "30000 bytes");
    EXPECT_EQ(figures.totalUpdates, "4");
}

TEST(DatabaseHeader, GivesTheVersionAndTheBodysChecksum) {
    const auto header = ReadDatabaseHeader(Header(kGoodHeader), 600);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, 27000);
    EXPECT_EQ(header->bodyMd5, "0123456789abcdef0123456789abcdef") << "compared in lower case";
    EXPECT_FALSE(ReadDatabaseHeader(
        Header("ClamAV-VDB:date:9999999999:1:90:0123456789abcdef0123456789abcdef:s:b"), 600))
        << "a version beyond an int";
}

TEST(DatabaseHeader, AcceptsOnlyAWholeHeaderWithABody) {
    EXPECT_TRUE(IsSignatureDatabase(Header(kGoodHeader), 600));
    EXPECT_FALSE(IsSignatureDatabase(Header(kGoodHeader), 512)) << "header without a body";
    EXPECT_FALSE(IsSignatureDatabase(kGoodHeader, 600)) << "fewer than 512 bytes read";
    EXPECT_FALSE(IsSignatureDatabase(Header("<html><body>404</body></html>"), 600));
    EXPECT_FALSE(IsSignatureDatabase(Header("ClamAV-VDB:x:1:2:3"), 600)) << "too few fields";
    EXPECT_FALSE(IsSignatureDatabase(
        Header("ClamAV-VDB:date:v27:2070000:90:0123456789abcdef0123456789abcdef:s:b"), 600));
    EXPECT_FALSE(
        IsSignatureDatabase(Header("ClamAV-VDB:date:27:2070000:90:0123456789abcdef:s:b"), 600))
        << "short MD5";
    std::string withNul = Header(kGoodHeader);
    withNul[300] = '\0';
    EXPECT_FALSE(IsSignatureDatabase(withNul, 600));
    EXPECT_FALSE(IsSignatureDatabase(std::string(512, ' '), 600));
}

TransferOutcome Good() {
    TransferOutcome o;
    o.httpStatus = 200;
    o.announcedBytes = 1000;
    o.fileExists = true;
    o.fileSize = 1000;
    o.isDatabase = true;
    o.bodyMatches = true;
    return o;
}

TEST(DownloadOutcome, OnlyAWholeCheckedTransferIsAnUpdate) {
    EXPECT_TRUE(IsGoodDownload(Good()));
    // Without a Content-Length a broken-off connection looks like the end
    // of the file: such a transfer was installed and counted before.
    TransferOutcome unknownSize = Good();
    unknownSize.announcedBytes = 0;
    EXPECT_FALSE(IsGoodDownload(unknownSize));
    EXPECT_NE(FailureReason(unknownSize).find("did not say how long the file is"),
              std::string::npos);

    // A whole file whose body is not the one its header names.
    TransferOutcome damaged = Good();
    damaged.bodyMatches = false;
    EXPECT_FALSE(IsGoodDownload(damaged));
    EXPECT_EQ(FailureReason(damaged),
              "Reason: the file received is damaged (its checksum does not match its header).");

    TransferOutcome notFound = Good();
    notFound.httpStatus = 404;  // the saved error page is a file too
    EXPECT_FALSE(IsGoodDownload(notFound));
    EXPECT_EQ(FailureReason(notFound), "Reason: the mirror has no such file (HTTP 404).");

    TransferOutcome refused = Good();
    refused.httpStatus = 403;
    EXPECT_NE(FailureReason(refused).find("set a mirror you may use"), std::string::npos);

    TransferOutcome busy = Good();
    busy.httpStatus = 429;
    busy.retryAfter = "3600";
    EXPECT_EQ(FailureReason(busy),
              "Reason: too many requests to the mirror (HTTP 429); try again in 60 minutes.");
    busy.retryAfter = "Wed, 09 Dec 2026 10:00:00 GMT";
    EXPECT_NE(FailureReason(busy).find("try again after Wed, 09 Dec"), std::string::npos);

    TransferOutcome page = Good();
    page.isDatabase = false;
    EXPECT_EQ(FailureReason(page), "Reason: the file received is not a signature database.");

    TransferOutcome cut = Good();
    cut.fileSize = 500;
    EXPECT_FALSE(IsGoodDownload(cut));
    EXPECT_EQ(FailureReason(cut), "Reason: the transfer was cut short (500 of 1000 bytes).");

    TransferOutcome unreachable;
    unreachable.result = static_cast<long>(0x800C0005UL);
    EXPECT_EQ(FailureReason(unreachable),
              "Reason: the mirror could not be found (error 0x800C0005).");

    TransferOutcome noLibrary;
    noLibrary.facilityLoaded = false;
    EXPECT_FALSE(IsGoodDownload(noLibrary));
    EXPECT_NE(FailureReason(noLibrary).find("(URLMON)"), std::string::npos);
    noLibrary.facility = "WININET";
    EXPECT_NE(FailureReason(noLibrary).find("(WININET)"), std::string::npos);
}

TEST(DownloadOutcome, HeaderValuesAreFoundWithoutRegardToCase) {
    const std::string headers =
        "HTTP/1.1 429 Too Many Requests\r\nretry-after:  120 \r\nContent-Length: 5\r\n\r\n";
    EXPECT_EQ(HeaderValue(headers, "Retry-After"), "120");
    EXPECT_EQ(HeaderValue(headers, "content-length"), "5");
    EXPECT_EQ(HeaderValue(headers, "Location"), "");
}

TEST(MirrorAddress, HostsAndBaseAddresses) {
    EXPECT_EQ(DatabaseUrl("", "/main.cvd"), "http://database.clamav.net/main.cvd");
    EXPECT_EQ(DatabaseUrl(" 127.0.0.1:8765 ", "/daily.cvd"), "http://127.0.0.1:8765/daily.cvd");
    EXPECT_EQ(DatabaseUrl("http://mirror.example/clamav/", "/main.cvd"),
              "http://mirror.example/clamav/main.cvd");
    EXPECT_EQ(DatabaseUrl("https://m.example", "/main.cvd"), "https://m.example/main.cvd");
}

TEST(MirrorAddress, BasicCredentials) {
    EXPECT_EQ(BasicCredentials("a", "b"), "Basic YTpi");
    EXPECT_EQ(BasicCredentials("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(BasicCredentials("", ""), "Basic Og==");
}

TEST(DateSerials, CalendarDatesComeBack) {
    for (double serial : {2.0, 36586.0, 46363.0, DateSerial(2024, 2, 29)}) {
        const auto civil = CivilFromSerial(serial + 0.75);
        ASSERT_TRUE(civil);
        EXPECT_EQ(DateSerial(civil->year, civil->month, civil->day), serial);
    }
    EXPECT_FALSE(CivilFromSerial(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(CivilFromSerial(-200000.0));
    EXPECT_FALSE(CivilFromSerial(1e12));
}

}  // namespace
}  // namespace tolvar
