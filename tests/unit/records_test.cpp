// The stored records byte for byte, the rules that read them back from the
// registry and the dump file, the start-up reset of an old update date, and
// the scan bookkeeping across scans and removal runs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/app_error.h"
#include "core/date_serial.h"
#include "core/infection_record.h"
#include "core/registry_rules.h"
#include "core/settings_record.h"
#include "history/page_figures.h"
#include "history/scan_dump.h"
#include "history/scan_statistics.h"

namespace tolvar {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Array>
Bytes Slice(const Array& bytes, std::size_t at, std::size_t count) {
    return Bytes(bytes.begin() + at, bytes.begin() + at + count);
}

// Guards against wrong offsets, host byte order leaking into the record, and
// setters that spill into the padding that other versions may use.
TEST(SettingsRecordLayout, FieldsLandAtTheirOffsetsLittleEndian) {
    SettingsRecord s;
    for (std::uint8_t b : s.Bytes())
        ASSERT_EQ(b, 0);
    s.MutableBytes()[783] = 0xEE;
    for (std::size_t i = 804; i < 808; ++i)
        s.MutableBytes()[i] = 0xEE;

    s.SetProxyUser("bob");
    s.SetProxyPassword("pass word");
    s.SetProxyServer("proxy.example");
    s.SetProxyPort("8080");
    s.SetUseProxy(true);
    s.SetIntervalDays(100);
    s.SetCheckSchedule(UpdateSchedule::IntervalsOf);
    s.SetFoundAction(FoundUpdateAction::DownloadAutomatically);
    s.SetStoredVaultCount(0x01020304);
    s.SetTotalUpdates(-2);
    s.SetLastUpdateDate(46263.0);
    s.SetLastUpdateSize(0x00ABCDEF);

    const auto& b = s.Bytes();
    EXPECT_EQ(Slice(b, 0, 4), (Bytes{3, 'b', 'o', 'b'}));
    EXPECT_EQ(b[256], 9);
    EXPECT_EQ(b[512], 13);
    EXPECT_EQ(Slice(b, 768, 5), (Bytes{4, '8', '0', '8', '0'}));
    EXPECT_EQ(Slice(b, 779, 5), (Bytes{1, 100, 3, 1, 0xEE}));
    EXPECT_EQ(Slice(b, 784, 4), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(Slice(b, 788, 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Slice(b, 792, 8), (Bytes{0, 0, 0, 0, 0xE0, 0x96, 0xE6, 0x40}));
    EXPECT_EQ(Slice(b, 800, 8), (Bytes{0xEF, 0xCD, 0xAB, 0, 0xEE, 0xEE, 0xEE, 0xEE}));

    // A record restored from stored bytes gives every value back, the
    // password's blank included.
    SettingsRecord restored;
    restored.MutableBytes() = s.Bytes();
    EXPECT_EQ(restored.ProxyUser(), "bob");
    EXPECT_EQ(restored.ProxyPassword(), "pass word");
    EXPECT_EQ(restored.ProxyServer(), "proxy.example");
    EXPECT_EQ(restored.ProxyPort(), "8080");
    EXPECT_TRUE(restored.UseProxy());
    EXPECT_EQ(restored.IntervalDays(), 100);
    EXPECT_EQ(restored.CheckSchedule(), UpdateSchedule::IntervalsOf);
    EXPECT_EQ(restored.FoundAction(), FoundUpdateAction::DownloadAutomatically);
    EXPECT_EQ(restored.StoredVaultCount(), 0x01020304);
    EXPECT_EQ(restored.TotalUpdates(), -2);
    EXPECT_EQ(restored.LastUpdateDate(), 46263.0);
    EXPECT_EQ(restored.LastUpdateSize(), 0x00ABCDEF);
}

// Guards against texts overrunning into the next field and against trusting
// a damaged length byte beyond the field.
TEST(ShortStrings, CutOnWriteAndDamagedLengthCutOnRead) {
    SettingsRecord s;
    s.SetProxyServer("after");
    s.SetProxyPassword(std::string(256, 'p'));
    EXPECT_EQ(s.ProxyPassword(), std::string(255, 'p'));
    EXPECT_EQ(s.ProxyServer(), "after");
    s.SetProxyPort("12345678901");
    EXPECT_EQ(s.ProxyPort(), "1234567890");
    EXPECT_FALSE(s.UseProxy());

    InfectionRecord r{"", "C:\\f.exe", std::string(51, 'v')};
    std::vector<std::uint8_t> image(InfectionRecord::kSize, 0xAA);
    r.WriteTo(image.data());
    EXPECT_EQ(InfectionRecord::ReadFrom(image.data()).VirusName, std::string(50, 'v'));

    image[512] = 255;  // a virus name claiming more than its 50 characters
    EXPECT_EQ(InfectionRecord::ReadFrom(image.data()).VirusName.size(), 50u);
}

// Guards against wrong field offsets and stale bytes of the buffer surviving
// in the unused part of a field.
TEST(InfectionRecordLayout, ThreeFieldsAndZeroedTails) {
    const InfectionRecord r{"V\\1", "C:\\a.exe", "Eicar "};
    std::vector<std::uint8_t> image(InfectionRecord::kSize, 0xAA);
    r.WriteTo(image.data());
    EXPECT_EQ(Slice(image, 0, 5), (Bytes{3, 'V', '\\', '1', 0}));
    EXPECT_EQ(Slice(image, 256, 2), (Bytes{8, 'C'}));
    EXPECT_EQ(Slice(image, 512, 8), (Bytes{6, 'E', 'i', 'c', 'a', 'r', ' ', 0}));
    for (std::size_t i = 520; i < InfectionRecord::kSize; ++i)
        ASSERT_EQ(image[i], 0) << i;
    EXPECT_EQ(InfectionRecord::ReadFrom(image.data()), r);
}

// Guards against a field at the wrong offset, which would swap figures on the
// History page once the record comes back from the registry.
TEST(ScanStatisticsLayout, FieldsAtTheirOffsetsAndDefaults) {
    const ScanStatistics d = ScanStatistics::Defaults();
    EXPECT_EQ(d.LastScanDate(), "none");
    EXPECT_EQ(Slice(d.Bytes(), 32, 5), (Bytes{4, 'n', 'o', 'n', 'e'}));
    EXPECT_EQ(d.ScanCount(), 0);

    ScanStatistics s;
    s.SetScanMarker(1);
    s.SetTotalItemsScanned(0x11223344);
    s.SetTotalInfectionsRemoved(2);
    s.SetScanCount(3);
    s.SetTotalInfectionsFound(4);
    s.SetReserved1(5);
    s.SetLastItemsScanned(6);
    s.SetLastInfectionsRemoved(7);
    s.SetLastScanDate("07/12/2026");
    s.SetReserved2(-1);
    s.SetLastInfectionsFound(9);
    const auto& b = s.Bytes();
    EXPECT_EQ(Slice(b, 0, 32), (Bytes{1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 2, 0, 0, 0, 3, 0, 0, 0,
                                      4, 0, 0, 0, 5,    0,    0,    0,    6, 0, 0, 0, 7, 0, 0, 0}));
    EXPECT_EQ(Slice(b, 32, 3), (Bytes{10, '0', '7'}));
    EXPECT_EQ(Slice(b, 56, 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 9, 0, 0, 0}));
}

// The removal count must belong to the latest scan only, while the total
// keeps every run.
TEST(ScanBookkeeping, TwoScansWithRemovalsInOneRun) {
    ScanStatistics s = ScanStatistics::Defaults();
    s.SetReserved1(77);
    RecordScan(s, 3, 120, "01/02/2026");
    AddRemovals(s, 3);
    EXPECT_EQ(s.LastInfectionsRemoved(), 3);

    RecordScan(s, 2, 40, "02/02/2026");
    EXPECT_EQ(s.LastInfectionsRemoved(), 0);
    EXPECT_EQ(s.TotalInfectionsRemoved(), 3);
    EXPECT_EQ(s.ScanCount(), 2);
    EXPECT_EQ(s.TotalInfectionsFound(), 5);
    EXPECT_EQ(s.TotalItemsScanned(), 160);
    EXPECT_EQ(s.LastItemsScanned(), 40);  // this scan's items only
    EXPECT_EQ(s.LastInfectionsFound(), 2);
    EXPECT_EQ(s.LastScanDate(), "02/02/2026");
    EXPECT_EQ(s.ScanMarker(), 1);
    EXPECT_EQ(s.Reserved1(), 0);

    AddRemovals(s, 2);
    EXPECT_EQ(s.LastInfectionsRemoved(), 2);
    EXPECT_EQ(s.TotalInfectionsRemoved(), 5);
    // A retry of what the run left adds to the scan's count, not replaces it.
    AddRemovals(s, 1);
    EXPECT_EQ(s.LastInfectionsRemoved(), 3);
    EXPECT_EQ(s.TotalInfectionsRemoved(), 6);
    AddRemovals(s, 0);
    EXPECT_EQ(s.LastInfectionsRemoved(), 3);

    RecordScan(s, 0, 10, "a date text longer than twenty");
    EXPECT_EQ(s.LastScanDate(), "a date text longer t");
    EXPECT_EQ(s.TotalInfectionsFound(), 5);
    EXPECT_EQ(s.LastInfectionsRemoved(), 0);
}

// A wrapped signed total is undefined behaviour and would show as negative.
TEST(ScanBookkeeping, TotalsSaturateInsteadOfWrapping) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    ScanStatistics s;
    s.SetScanCount(kMax);
    s.SetTotalItemsScanned(kMax - 10);
    s.SetTotalInfectionsFound(kMax - 1);
    s.SetTotalInfectionsRemoved(kMax - 1);
    RecordScan(s, 600, 50, "d");  // more detections than the table's 500 slots
    AddRemovals(s, 7);
    EXPECT_EQ(s.ScanCount(), kMax);
    EXPECT_EQ(s.TotalItemsScanned(), kMax);
    EXPECT_EQ(s.TotalInfectionsFound(), kMax);
    EXPECT_EQ(s.TotalInfectionsRemoved(), kMax);
    EXPECT_EQ(s.LastInfectionsFound(), 600);
}

// Guards against a dump sized by the detection count, and against a short
// file being read past its end or leaving an earlier scan's slots behind.
TEST(PageFigures, TheLatestScanAndTheTotalsAsThePagesShowThem) {
    ScanStatistics s = ScanStatistics::Defaults();
    EXPECT_EQ(LastScanFiguresOf(s).date, "none");
    RecordScan(s, 3, 120, "07/12/2026");
    AddRemovals(s, 2);
    RecordScan(s, -1, 5, "08/12/2026");  // a damaged count shows as it is stored
    const HistoryFigures h = HistoryFiguresOf(s);
    EXPECT_EQ(h.scanCount, "2");
    EXPECT_EQ(h.totalInfectionsFound, "2");
    EXPECT_EQ(h.totalItemsScanned, "125");
    EXPECT_EQ(h.totalInfectionsRemoved, "2");
    EXPECT_EQ(h.lastScan.date, "08/12/2026");
    EXPECT_EQ(h.lastScan.infectionsFound, "-1");
    EXPECT_EQ(h.lastScan.itemsScanned, "5");
    EXPECT_EQ(h.lastScan.infectionsRemoved, "0");
    EXPECT_EQ(LastScanFiguresOf(s).itemsScanned, h.lastScan.itemsScanned);
}

TEST(ScanDump, AlwaysTheWholeTableAndShortFilesReadAsFarAsTheyGo) {
    InfectionTable table{};
    table[0] = {"", "C:\\a.exe", "Worm "};
    table[499] = {"v", "C:\\z.exe", "Last "};
    const auto dump = DumpInfectionTable(table);
    ASSERT_EQ(dump.size(), 281500u);
    EXPECT_EQ(DumpInfectionTable(InfectionTable{}).size(), 281500u);

    InfectionTable loaded;
    loaded.fill({"old", "old", "old"});
    LoadInfectionTable(loaded, dump.data(), dump.size());
    EXPECT_EQ(loaded, table);

    // A file that stops inside slot 1's FilePath: slot 0 whole, slot 1 read
    // as far as it goes, nothing left from before in later slots.
    table[1] = {"", "C:\\bcdef.exe", "Trojan "};
    const auto again = DumpInfectionTable(table);
    loaded.fill({"old", "old", "old"});
    const std::size_t cut = 563 + 256 + 4;  // length byte + 3 characters
    const std::vector<std::uint8_t> shortFile(again.begin(), again.begin() + cut);
    LoadInfectionTable(loaded, shortFile.data(), shortFile.size());
    EXPECT_EQ(loaded[0], table[0]);
    // The path ends where the file did: no zero characters inside it.
    EXPECT_EQ(loaded[1], (InfectionRecord{"", "C:\\", ""}));
    EXPECT_EQ(loaded[2], InfectionRecord{});
    EXPECT_EQ(loaded[499], InfectionRecord{});

    LoadInfectionTable(loaded, nullptr, 0);
    EXPECT_EQ(loaded[0], InfectionRecord{});

    // Trailing bytes past the table are not taken for anything.
    auto longer = again;
    longer.resize(again.size() + 600, 'x');
    LoadInfectionTable(loaded, longer.data(), longer.size());
    EXPECT_EQ(loaded, table);
}

// Guards against a damaged or foreign stored value corrupting the defaults.
TEST(RegistryBinaryRule, FillsLeadingBytesOrRejectsWhole) {
    std::vector<std::uint8_t> record(8, 0x11);
    const std::vector<std::uint8_t> three{1, 2, 3};
    ApplyBinaryValue(record.data(), 8, RegistryValueType::Binary, three.data(), 3);
    EXPECT_EQ(record, (Bytes{1, 2, 3, 0x11, 0x11, 0x11, 0x11, 0x11}));

    const std::vector<std::uint8_t> eight(8, 9), nine(9, 7);
    ApplyBinaryValue(record.data(), 8, RegistryValueType::Binary, eight.data(), 8);
    EXPECT_EQ(record, eight);

    // Neither a longer value nor a foreign type may half-overwrite the record.
    EXPECT_THROW(ApplyBinaryValue(record.data(), 8, RegistryValueType::Binary, nine.data(), 9),
                 AppError);
    EXPECT_THROW(ApplyBinaryValue(record.data(), 8, RegistryValueType::String, three.data(), 3),
                 AppError);
    EXPECT_THROW(ApplyBinaryValue(record.data(), 8, RegistryValueType::Other, three.data(), 3),
                 AppError);
    ApplyBinaryValue(record.data(), 8, RegistryValueType::Missing, nullptr, 0);
    EXPECT_EQ(record, eight);
}

// Guards against the stored terminator becoming part of the folder path.
TEST(RegistryTextRule, TerminatorDroppedAndNonTextRejected) {
    using namespace std::string_literals;
    EXPECT_EQ(ReadTextValue(RegistryValueType::Missing, "ignored"), "");
    EXPECT_EQ(ReadTextValue(RegistryValueType::String, "D:\\Data\\"s), "D:\\Data\\");
    EXPECT_EQ(ReadTextValue(RegistryValueType::String, "D:\\X\\\0"s), "D:\\X\\");
    EXPECT_EQ(ReadTextValue(RegistryValueType::String, "C:\\\0junk\0"s), "C:\\");
    EXPECT_THROW(ReadTextValue(RegistryValueType::Binary, "abc"), AppError);
    EXPECT_THROW(ReadTextValue(RegistryValueType::Other, "abc"), AppError);
}

// Guards against an off-by-one epoch and wrong leap years in the update dates.
TEST(DateSerials, KnownDaysAndInvalidDates) {
    EXPECT_EQ(DateSerial(1899, 12, 30), 0.0);
    EXPECT_EQ(DateSerial(1900, 1, 1), 2.0);
    EXPECT_EQ(DateSerial(2000, 3, 1), 36586.0);  // past a 400-year leap day
    EXPECT_EQ(DateSerial(2026, 12, 7), 46363.0);
    EXPECT_EQ(DateSerial(1600, 2, 29), -109512.0);
    EXPECT_THROW(DateSerial(1900, 2, 29), AppError);
    EXPECT_THROW(DateSerial(2026, 13, 1), AppError);
    EXPECT_THROW(DateSerial(2026, 4, 31), AppError);
}

// Guards against an off-by-one at the 355-day boundary and against a reset
// that touches fields other than the update figures.
TEST(StaleUpdateReset, BoundaryAndFirstStart) {
    const double today = DateSerial(2026, 12, 7);
    EXPECT_FALSE(NeedsStaleUpdateReset(today, today - 355.0));
    EXPECT_TRUE(NeedsStaleUpdateReset(today, today - 356.0));
    EXPECT_TRUE(NeedsStaleUpdateReset(today, std::nan("")));

    SettingsRecord first;  // nothing stored yet
    first.SetStoredVaultCount(4);
    ASSERT_TRUE(NeedsStaleUpdateReset(today, first.LastUpdateDate()));
    first.SetCheckSchedule(UpdateSchedule::NeverCheck);
    first.SetTotalUpdates(12);
    first.SetLastUpdateSize(5000);
    ApplyStaleUpdateReset(first, today);
    EXPECT_EQ(first.CheckSchedule(), UpdateSchedule::Daily);
    EXPECT_EQ(first.LastUpdateDate(), today - 100.0);
    EXPECT_EQ(first.TotalUpdates(), 0);
    EXPECT_EQ(first.LastUpdateSize(), 0);
    EXPECT_EQ(first.StoredVaultCount(), 4);
    EXPECT_FALSE(NeedsStaleUpdateReset(today, first.LastUpdateDate()));
}

// Guards against accepting a folder that is not the program's own and against
// file names glued onto a folder without a separator.
TEST(StoredDataFolder, AcceptedOnlyWithTheMarkAfterTheStart) {
    std::string folder = "default\\";
    EXPECT_TRUE(DataFolderFromStored("D:\\Data\\Mirebrook\\", folder));
    EXPECT_EQ(folder, "D:\\Data\\Mirebrook\\");

    // A path that lacks the final separator would glue file names onto it.
    EXPECT_TRUE(DataFolderFromStored("D:\\Data\\Mirebrook\\x", folder));
    EXPECT_EQ(folder, "D:\\Data\\Mirebrook\\x\\");

    folder = "default\\";
    EXPECT_FALSE(DataFolderFromStored("Mirebrook\\", folder));
    EXPECT_FALSE(DataFolderFromStored("D:\\Other\\", folder));
    EXPECT_FALSE(DataFolderFromStored("D:\\Data\\Mirebrook", folder));
    EXPECT_FALSE(DataFolderFromStored("D:\\Data\\mirebrook\\", folder));
    EXPECT_FALSE(DataFolderFromStored("", folder));
    EXPECT_EQ(folder, "default\\");
}

}  // namespace
}  // namespace tolvar
