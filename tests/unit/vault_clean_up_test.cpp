// The vault's automatic clean-up rules, with a clock and copy times given,
// and the finding again of a record after others moved.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "quarantine/vault_clean_up.h"
#include "quarantine/vault_table.h"

namespace tolvar {
namespace {

InfectionRecord Numbered(int n) {
    const std::string s = std::to_string(n);
    return {"D:\\data\\virus_vault\\f" + s + ".exe", "C:\\in\\f" + s + ".exe", "Virus " + s};
}

// Noon of some day, in the file system's steps.
constexpr std::int64_t kNow = 133000000000000000;

std::int64_t DaysAgo(double days) {
    return kNow - static_cast<std::int64_t>(days * static_cast<double>(kTimeStepsPerDay));
}

// Guards against a damaged or hand-edited value keeping copies for ever or
// deleting them at once: only 0 to 36500 is taken as stored.
TEST(DeleteAfterDays, StoredValuesOutsideTheRangeReadAsTheDefault) {
    EXPECT_EQ(DeleteAfterDaysFrom(std::nullopt), 90u);
    EXPECT_EQ(DeleteAfterDaysFrom(0), 0u);
    EXPECT_EQ(DeleteAfterDaysFrom(1), 1u);
    EXPECT_EQ(DeleteAfterDaysFrom(36500), 36500u);
    EXPECT_EQ(DeleteAfterDaysFrom(36501), 90u);
    EXPECT_EQ(DeleteAfterDaysFrom(0xFFFFFFFFu), 90u);
}

// Guards against the field storing a number the start would read back as
// something else (an overflow wrapping round, a sign, a fraction).
TEST(DeleteAfterDays, TheFieldTakesOnlyWholeNumbersInTheRange) {
    std::string why;
    EXPECT_EQ(DeleteAfterDaysToStore(" 30 ", why), 30u);
    EXPECT_EQ(why, "");
    EXPECT_EQ(DeleteAfterDaysToStore("0", why), 0u);
    EXPECT_EQ(DeleteAfterDaysToStore("36500", why), 36500u);
    for (const char* bad : {"", "  ", "36501", "99999", "4294967386", "-1", "+5", "1.5", "9O",
                            "1 0", "00000036500"}) {
        why.clear();
        EXPECT_EQ(DeleteAfterDaysToStore(bad, why), std::nullopt) << bad;
        EXPECT_EQ(why, "the days must be a whole number from 0 to 36500") << bad;
    }
}

// Guards against deleting a copy too early (at the day, or with its time
// unknown or ahead of the clock) and against 0 deleting everything.
TEST(VaultCleanUp, OnlyCopiesOlderThanTheDaysAreDue) {
    EXPECT_TRUE(CopyIsDue(DaysAgo(91), kNow, 90));
    EXPECT_FALSE(CopyIsDue(DaysAgo(89), kNow, 90));
    EXPECT_FALSE(CopyIsDue(DaysAgo(90), kNow, 90));
    EXPECT_TRUE(CopyIsDue(DaysAgo(90) - 1, kNow, 90));
    EXPECT_FALSE(CopyIsDue(std::nullopt, kNow, 90));
    EXPECT_FALSE(CopyIsDue(kNow + kTimeStepsPerDay * 400, kNow, 90));
    EXPECT_FALSE(CopyIsDue(DaysAgo(36000), kNow, 0));
    EXPECT_TRUE(CopyIsDue(DaysAgo(36501), kNow, 36500));
}

TEST(VaultCleanUp, DueRecordsAreTheOldCopiesInRecordOrder) {
    auto vault = std::make_unique<VaultTable>();
    for (int n = 1; n <= 4; ++n)
        ASSERT_TRUE(vault->Append(Numbered(n)));
    const std::map<std::string, std::optional<std::int64_t>> created{
        {Numbered(1).VaultPath, DaysAgo(200)},
        {Numbered(2).VaultPath, DaysAgo(89)},
        {Numbered(3).VaultPath, std::nullopt},
        {Numbered(4).VaultPath, DaysAgo(91)}};
    const CreationTime at = [&](const std::string& path) { return created.at(path); };
    EXPECT_EQ(DueRecords(*vault, at, kNow, 90),
              (std::vector<InfectionRecord>{Numbered(1), Numbered(4)}));
    EXPECT_TRUE(DueRecords(*vault, at, kNow, 0).empty());
    EXPECT_EQ(DueRecords(*vault, at, kNow, 1).size(), 3u);
}

// Guards against a command over several rows acting on a stale number: each
// record is found again by all its texts after the ones before it went.
TEST(VaultFind, ARecordIsFoundAgainAfterEarlierOnesAreRemoved) {
    auto vault = std::make_unique<VaultTable>();
    for (int n = 1; n <= 5; ++n)
        ASSERT_TRUE(vault->Append(Numbered(n)));
    EXPECT_EQ(vault->Find(Numbered(4)), 4);
    vault->Remove(2);
    EXPECT_EQ(vault->Find(Numbered(4)), 3);
    EXPECT_EQ(vault->Find(Numbered(2)), 0);
    InfectionRecord sameCopyOtherName = Numbered(4);
    sameCopyOtherName.VirusName = "Other";
    EXPECT_EQ(vault->Find(sameCopyOtherName), 0);
    vault->WithdrawLast();
    EXPECT_EQ(vault->Find(Numbered(5)), 0);  // past the count, though its slot was there
}

}  // namespace
}  // namespace tolvar
