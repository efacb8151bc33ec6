// The vault's record table and its file image, and the choice of a vault
// copy's name.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/infection_record.h"
#include "quarantine/vault_naming.h"
#include "quarantine/vault_table.h"

namespace tolvar {
namespace {

using Bytes = std::vector<std::uint8_t>;

InfectionRecord Numbered(int n) {
    const std::string s = std::to_string(n);
    return {"D:\\data\\virus_vault\\f" + s + ".exe", "C:\\in\\f" + s + ".exe", "Virus " + s};
}

// A table is 1000 records of three strings: too large to keep on the stack
// of every test with the sanitizers' padding.
std::unique_ptr<VaultTable> TableOf(int records) {
    auto table = std::make_unique<VaultTable>();
    for (int n = 1; n <= records; ++n)
        EXPECT_TRUE(table->Append(Numbered(n)));
    return table;
}

bool HasNul(const InfectionRecord& r) {
    return r.VaultPath.find('\0') != std::string::npos ||
           r.FilePath.find('\0') != std::string::npos ||
           r.VirusName.find('\0') != std::string::npos;
}

bool WithinFields(const InfectionRecord& r) {
    return r.VaultPath.size() <= InfectionRecord::kVaultPathCapacity &&
           r.FilePath.size() <= InfectionRecord::kFilePathCapacity &&
           r.VirusName.size() <= InfectionRecord::kVirusNameCapacity;
}

// Every slot as the records file holds it, whatever the count says.
std::vector<InfectionRecord> AllSlots(const VaultTable& table) {
    const Bytes image = table.FileImage();
    std::vector<InfectionRecord> slots;
    for (std::size_t slot = 0; slot < kVaultSlots; ++slot)
        slots.push_back(InfectionRecord::ReadFrom(image.data() + slot * InfectionRecord::kSize));
    return slots;
}

// Whether the copy a record names is in the vault, for the records a test
// says are there.
VaultTable::CopyExists CopiesOf(std::set<int> numbers) {
    return [numbers](const std::string& vaultPath) {
        for (int n : numbers) {
            if (vaultPath == Numbered(n).VaultPath) return true;
        }
        return false;
    };
}

// Guards against a restore leaving a gap, shifting the wrong records, or
// leaving a second copy of the last record in the file.
TEST(VaultRemove, LaterRecordsMoveDownAndTheVacatedSlotIsCleared) {
    auto table = TableOf(3);
    table->Remove(2);
    ASSERT_EQ(table->Count(), 2);
    EXPECT_EQ(table->Record(1), Numbered(1));
    EXPECT_EQ(table->Record(2), Numbered(3));
    EXPECT_EQ(AllSlots(*table)[2], InfectionRecord{});

    table->Remove(2);  // the last record: nothing moves
    ASSERT_EQ(table->Count(), 1);
    EXPECT_EQ(table->Record(1), Numbered(1));
}

// Guards against an emptied vault writing a shorter records file, which the
// next start would read as damaged.
TEST(VaultRemove, OnlyRecordLeavesAnEmptyTableAndAWholeFile) {
    auto table = TableOf(1);
    table->Remove(1);
    EXPECT_EQ(table->Count(), 0);
    EXPECT_FALSE(table->IsInVault(Numbered(1).FilePath));
    const Bytes image = table->FileImage();
    ASSERT_EQ(image.size(), kVaultFileBytes);
    EXPECT_EQ(image, Bytes(kVaultFileBytes, 0));
}

// Guards against a stale list row or selection reaching a record that is not
// valid any more.
TEST(VaultRemove, RecordNumbersOutsideTheCountAreRefused) {
    auto table = TableOf(2);
    EXPECT_THROW(table->Remove(0), std::out_of_range);
    EXPECT_THROW(table->Remove(3), std::out_of_range);
    EXPECT_THROW(table->Remove(-1), std::out_of_range);
    EXPECT_THROW((void)table->Record(0), std::out_of_range);
    EXPECT_THROW((void)table->Record(3), std::out_of_range);
    EXPECT_EQ(table->Count(), 2);
    EXPECT_EQ(table->Record(2), Numbered(2));

    VaultTable empty;
    EXPECT_THROW(empty.Remove(1), std::out_of_range);
    EXPECT_THROW((void)empty.Record(1), std::out_of_range);
}

// Guards against a case-blind or prefix match (a second file of another
// case would get no record) and against matching leftovers past the count.
TEST(VaultLookup, FilePathMatchesExactlyAndOnlyValidRecords) {
    auto table = TableOf(2);
    EXPECT_TRUE(table->IsInVault("C:\\in\\f2.exe"));
    EXPECT_FALSE(table->IsInVault("C:\\IN\\F2.EXE"));
    EXPECT_FALSE(table->IsInVault("C:\\in\\f2.ex"));
    EXPECT_FALSE(table->IsInVault("C:\\in\\f2.exe "));
    EXPECT_FALSE(table->IsInVault(std::string("C:\\in\\f2.exe\0", 13)));
    EXPECT_FALSE(table->IsInVault(""));

    table->WithdrawLast();
    EXPECT_FALSE(table->IsInVault("C:\\in\\f2.exe"));
    EXPECT_TRUE(table->IsInVault("C:\\in\\f1.exe"));
}

// Guards against an append past slot 1000, which would write beyond the
// table, and against a refused append changing anything.
TEST(VaultAppend, FullTableRefusesAndKeepsItsImage) {
    auto table = TableOf(static_cast<int>(kVaultSlots));
    ASSERT_EQ(table->Count(), 1000);
    const Bytes before = table->FileImage();

    EXPECT_FALSE(table->Append(Numbered(1001)));
    EXPECT_EQ(table->Count(), 1000);
    EXPECT_FALSE(table->IsInVault(Numbered(1001).FilePath));
    EXPECT_EQ(table->Record(1000), Numbered(1000));
    const Bytes after = table->FileImage();
    ASSERT_EQ(after.size(), kVaultFileBytes);
    EXPECT_EQ(after, before);

    // Room made by a restore can be used again.
    table->Remove(1);
    EXPECT_TRUE(table->Append(Numbered(1001)));
    EXPECT_EQ(table->Record(1000), Numbered(1001));
}

// Guards against a record that compares one way before a restart and
// another after it: the file keeps only what fits the fields.
TEST(VaultAppend, TextsAreKeptAsTheFileKeepsThem) {
    VaultTable table;
    const std::string longPath = "C:\\" + std::string(300, 'p');
    ASSERT_TRUE(table.Append({"V", longPath, std::string(60, 'n')}));
    ASSERT_TRUE(table.Append({"W", std::string("C:\\a\0b", 6), "x"}));
    EXPECT_EQ(table.Record(1).FilePath, longPath.substr(0, 255));
    EXPECT_EQ(table.Record(1).VirusName, std::string(50, 'n'));
    EXPECT_EQ(table.Record(2).FilePath, "C:\\a");

    const Bytes image = table.FileImage();
    VaultTable reloaded;
    reloaded.LoadFileImage(image.data(), image.size());
    EXPECT_EQ(reloaded.Count(), 2);
    EXPECT_EQ(AllSlots(reloaded), AllSlots(table));
}

// Guards against a withdrawal going below zero, and against the withdrawn
// record surviving in the file where a damaged count would bring it back.
TEST(VaultAppend, WithdrawTakesBackOnlyTheLastRecord) {
    auto table = TableOf(2);
    table->WithdrawLast();
    EXPECT_EQ(table->Count(), 1);
    EXPECT_EQ(table->Record(1), Numbered(1));
    EXPECT_EQ(AllSlots(*table)[1], InfectionRecord{});
    table->WithdrawLast();
    table->WithdrawLast();
    EXPECT_EQ(table->Count(), 0);
}

// Guards against a damaged count in the settings record making every walk
// over the records run past the table or treat a negative count as huge,
// and against a count larger than the file's records listing empty rows.
TEST(VaultCount, AStoredCountIsHeldToTheRecordsTheFileHolds) {
    const Bytes image = TableOf(3)->FileImage();
    auto table = std::make_unique<VaultTable>();
    for (const auto& [stored, expected] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {-5, 0},
             {5000, 3},
             {std::numeric_limits<std::int32_t>::min(), 0},
             {std::numeric_limits<std::int32_t>::max(), 3},
             {3, 3}}) {
        table->LoadFileImage(image.data(), image.size(), stored);
        EXPECT_EQ(table->Count(), expected) << stored;
    }
    EXPECT_THROW((void)table->Record(4), std::out_of_range);
}

// Guards against leftovers past a stored count (an earlier build's restore
// leaves a copy of its last record there) coming back as records, or being
// overwritten in place by the next append while the file still has them.
TEST(VaultCount, SlotsPastAStoredCountAreEmptiedUnlessTheyHoldACopy) {
    auto table = TableOf(3);
    const Bytes image = table->FileImage();
    table->LoadFileImage(image.data(), image.size(), 2, CopiesOf({1, 2}));
    EXPECT_EQ(table->Count(), 2);
    EXPECT_FALSE(table->IsInVault(Numbered(3).FilePath));
    EXPECT_EQ(AllSlots(*table)[2], InfectionRecord{});
    ASSERT_TRUE(table->Append(Numbered(4)));
    EXPECT_EQ(table->Record(3), Numbered(4));
}

// Guards against a settings record that is not this records file's (stored
// on another computer whose profile roams, or its write lost to a crash after
// the records file's): a record past its count whose copy is in the vault
// stays a record, while one without a copy, or naming a copy an earlier
// record names, is a leftover.
TEST(VaultCount, RecordsPastAStaleCountWhoseCopiesAreThereStay) {
    auto table = TableOf(4);
    Bytes image = table->FileImage();
    table->LoadFileImage(image.data(), image.size(), 1, CopiesOf({1, 2, 3}));
    EXPECT_EQ(table->Count(), 3);
    EXPECT_EQ(table->Record(3), Numbered(3));
    EXPECT_EQ(AllSlots(*table)[3], InfectionRecord{});

    // Slot 3 holds a second copy of record 1, as an old restore leaves it.
    Numbered(1).WriteTo(image.data() + 2 * InfectionRecord::kSize);
    table->LoadFileImage(image.data(), image.size(), 2, CopiesOf({1, 2, 3, 4}));
    EXPECT_EQ(table->Count(), 4);
    table->LoadFileImage(image.data(), image.size(), 2, CopiesOf({1, 2, 3}));
    EXPECT_EQ(table->Count(), 2);
}

// Guards against a lost count (a missing or short settings record) emptying
// the vault, whose next write would then drop every record: the records are
// every slot up to the last that names a copy, a damaged one among them
// included.
TEST(VaultCount, WithoutAStoredCountTheFileTellsWhichSlotsAreRecords) {
    auto table = TableOf(3);
    table->Remove(2);
    VaultTable reread;
    Bytes image = table->FileImage();
    reread.LoadFileImage(image.data(), image.size());
    EXPECT_EQ(reread.Count(), 2);

    // A first record whose copy's name was lost keeps the one after it.
    image[0] = 0;
    reread.LoadFileImage(image.data(), image.size());
    EXPECT_EQ(reread.Count(), 2);
    EXPECT_EQ(reread.Record(2), Numbered(3));

    reread.LoadFileImage(nullptr, 0);
    EXPECT_EQ(reread.Count(), 0);
    const Bytes full = TableOf(1000)->FileImage();
    reread.LoadFileImage(full.data(), full.size());
    EXPECT_EQ(reread.Count(), 1000);
}

// Guards against a short records file (an interrupted write, a full disk)
// being read past its end, and against the zeros of its missing part ending
// up inside a path.
TEST(VaultFile, ShortFileReadsAsFarAsItGoes) {
    auto table = TableOf(3);
    const Bytes image = table->FileImage();
    // Stops inside record 2's FilePath, three characters after its length.
    const std::size_t cut = 563 + 256 + 4;
    const Bytes shortFile(image.begin(), image.begin() + cut);

    auto loaded = TableOf(5);
    loaded->LoadFileImage(shortFile.data(), shortFile.size(), 3);
    // The record cut by the file's end lost part of its texts.
    EXPECT_EQ(loaded->Count(), 1);
    const auto slots = AllSlots(*loaded);
    EXPECT_EQ(slots[0], Numbered(1));
    for (std::size_t slot = 1; slot < kVaultSlots; ++slot)
        ASSERT_EQ(slots[slot], InfectionRecord{}) << slot;

    loaded->LoadFileImage(nullptr, 0);
    EXPECT_EQ(AllSlots(*loaded)[0], InfectionRecord{});
    loaded->LoadFileImage(image.data(), 0);
    EXPECT_EQ(AllSlots(*loaded)[0], InfectionRecord{});
}

// Guards against a damaged or planted file putting NULs into paths (Win32
// would act on a shorter path than the one compared) or texts longer than
// their fields.
TEST(VaultFile, GarbageLoadsWithinTheFieldsAndWithoutNul) {
    Bytes garbage(kVaultFileBytes, 0xFF);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < garbage.size(); i += 1 + random() % 40)
        garbage[i] = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random());
    garbage[0] = 10;
    garbage[1] = 'a';
    garbage[2] = 0;
    garbage[3] = 'b';

    VaultTable table;
    table.LoadFileImage(garbage.data(), garbage.size());
    const auto slots = AllSlots(table);
    EXPECT_EQ(slots[0].VaultPath, "a");
    for (const InfectionRecord& r : slots) {
        ASSERT_TRUE(WithinFields(r));
        ASSERT_FALSE(HasNul(r));
    }

    // Every length of a file cut anywhere in the first records.
    for (std::size_t size = 0; size < 3 * InfectionRecord::kSize; size += 7) {
        const Bytes part(garbage.begin(), garbage.begin() + size);
        table.LoadFileImage(part.data(), part.size());
        for (const InfectionRecord& r : AllSlots(table)) {
            ASSERT_TRUE(WithinFields(r)) << size;
            ASSERT_FALSE(HasNul(r)) << size;
        }
    }
}

// Guards against bytes after the table being taken for records.
TEST(VaultFile, BytesPastTheTableAreIgnored) {
    auto table = TableOf(1000);
    Bytes image = table->FileImage();
    const Bytes whole = image;
    InfectionRecord{"X", "Y", "Z"}.WriteTo(image.data() + 999 * InfectionRecord::kSize);
    const Bytes intruder(image.begin() + 999 * InfectionRecord::kSize, image.begin() + 563000);
    Bytes longer = whole;
    longer.insert(longer.end(), intruder.begin(), intruder.end());

    VaultTable loaded;
    loaded.LoadFileImage(longer.data(), longer.size());
    ASSERT_EQ(loaded.Count(), 1000);
    EXPECT_EQ(loaded.Record(1000), Numbered(1000));
    EXPECT_EQ(loaded.FileImage(), whole);
}

// Guards against a restore target or vault name keeping a folder part.
TEST(VaultFileName, TextAfterTheLastSeparator) {
    EXPECT_EQ(FileNamePart("C:\\dir\\sub\\a.exe"), "a.exe");
    EXPECT_EQ(FileNamePart("C:a.exe"), "a.exe");
    EXPECT_EQ(FileNamePart("C:\\dir/a.exe"), "a.exe");
    EXPECT_EQ(FileNamePart("a.exe"), "a.exe");
    EXPECT_EQ(FileNamePart("C:\\dir\\"), "");
    EXPECT_EQ(FileNamePart(""), "");
}

// A file system of known names and a scripted random source.
struct NamingFake {
    std::set<std::string> taken;
    std::vector<int> draws;  // used in turn, the last one repeated
    std::size_t nextDraw = 0;
    int drawCalls = 0;
    std::vector<std::string> asked;

    std::string Choose(const std::string& folder, const std::string& name) {
        return ChooseVaultPath(
            folder, name,
            [this](const std::string& path) {
                asked.push_back(path);
                return taken.count(path) != 0;
            },
            [this](int lo, int hi) {
                EXPECT_EQ(lo, 0);
                EXPECT_EQ(hi, 9999);
                ++drawCalls;
                if (draws.empty()) return 0;
                const int r = draws[std::min(nextDraw, draws.size() - 1)];
                ++nextDraw;
                return r;
            });
    }
};

const std::string kVault = "D:\\data\\virus_vault\\";

// Guards against a needless prefix on a name that is free.
TEST(VaultNaming, FreeNameIsUsedAsItIs) {
    NamingFake fake;
    EXPECT_EQ(fake.Choose(kVault, "evil.exe"), kVault + "evil.exe");
    EXPECT_EQ(fake.drawCalls, 0);
}

// Guards against a second removal of the same file name replacing the first
// one's copy.
TEST(VaultNaming, ClashGetsARandomPrefix) {
    NamingFake fake;
    fake.taken = {kVault + "evil.exe"};
    fake.draws = {42};
    EXPECT_EQ(fake.Choose(kVault, "evil.exe"), kVault + "42evil.exe");
    EXPECT_EQ(fake.drawCalls, 1);
}

// Guards against a drawn name being used without checking it too.
TEST(VaultNaming, TakenDrawIsDrawnAgain) {
    NamingFake fake;
    fake.taken = {kVault + "evil.exe", kVault + "42evil.exe", kVault + "7evil.exe"};
    fake.draws = {42, 7, 42, 3};
    EXPECT_EQ(fake.Choose(kVault, "evil.exe"), kVault + "3evil.exe");
    EXPECT_EQ(fake.drawCalls, 4);
}

// Guards against giving up, or replacing a copy, when every random name is
// taken.
TEST(VaultNaming, CounterWhenTheDrawsKeepClashing) {
    NamingFake fake;
    fake.taken = {kVault + "evil.exe", kVault + "0evil.exe", kVault + "1evil.exe"};
    fake.draws = {0, 1};
    EXPECT_EQ(fake.Choose(kVault, "evil.exe"), kVault + "2evil.exe");
    EXPECT_EQ(fake.drawCalls, 100);

    NamingFake full;
    full.taken.insert(kVault + "evil.exe");
    for (int n = 0; n <= 9999; ++n)
        full.taken.insert(kVault + std::to_string(n) + "evil.exe");
    full.draws = {5};
    EXPECT_EQ(full.Choose(kVault, "evil.exe"), kVault + "10000evil.exe");
}

// Guards against an endless search, or a taken name returned after one, when
// the file system says every name exists.
TEST(VaultNaming, EverythingTakenGivesNoName) {
    int asked = 0;
    const std::string chosen = ChooseVaultPath(
        kVault, "evil.exe",
        [&](const std::string&) {
            ++asked;
            return true;
        },
        [](int, int) { return 1; });
    EXPECT_EQ(chosen, "");
    EXPECT_GT(asked, 10000);
    EXPECT_LE(asked, 1 + 100 + 100000);
}

// Guards against returning a taken name under any pattern of clashes.
TEST(VaultNaming, NeverAnExistingName) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        NamingFake fake;
        const int takenCount = static_cast<int>(random() % 60);
        for (int i = 0; i < takenCount; ++i)
            fake.taken.insert(kVault + std::to_string(random() % 20) + "a.exe");
        if (random() % 4 != 0) fake.taken.insert(kVault + "a.exe");
        for (int i = 0; i < 120; ++i)
            fake.draws.push_back(static_cast<int>(random() % 20));
        const std::string chosen = fake.Choose(kVault, "a.exe");
        ASSERT_FALSE(chosen.empty()) << round;
        ASSERT_EQ(fake.taken.count(chosen), 0u) << round << " " << chosen;
        ASSERT_EQ(chosen.rfind(kVault, 0), 0u) << chosen;
    }
}

// Guards against a path cut to the record's 255 characters, which would
// name a different file than the copy (and restore the wrong one).
TEST(VaultNaming, PathLongerThanTheFieldGivesNoName) {
    NamingFake fits;
    const std::string name255(255 - kVault.size(), 'n');
    EXPECT_EQ(fits.Choose(kVault, name255), kVault + name255);

    NamingFake tooLong;
    EXPECT_EQ(tooLong.Choose(kVault, name255 + "x"), "");
    EXPECT_TRUE(tooLong.asked.empty());

    // The plain name fits but is taken; no prefixed name fits.
    NamingFake full;
    full.taken = {kVault + name255};
    EXPECT_EQ(full.Choose(kVault, name255), "");
    for (const std::string& path : full.asked)
        EXPECT_LE(path.size(), 255u);

    // A short prefix still fits where a four-digit one does not.
    NamingFake tight;
    const std::string name253(253 - kVault.size(), 'n');
    tight.taken = {kVault + name253};
    tight.draws = {1234};
    EXPECT_EQ(tight.Choose(kVault, name253), kVault + "0" + name253);
}

// Guards against a copy placed outside the vault folder, or at the vault
// folder's own path, by a name that is no file name.
TEST(VaultNaming, NamesWithAFolderPartAreRefused) {
    for (const std::string name : {"", ".", "..", "..\\x.exe", "a/b.exe", "C:x.exe"}) {
        NamingFake fake;
        EXPECT_EQ(fake.Choose(kVault, name), "") << name;
        EXPECT_TRUE(fake.asked.empty()) << name;
    }
}

// Guards against a removed file named like the records file being given that
// name in the vault, where the next records write would replace the copy,
// or a name that blocks setting a damaged records file aside.
TEST(VaultNaming, TheVaultsOwnNamesAreNeverGivenToACopy) {
    for (const std::string name : {"records.gav", "RECORDS.GAV", "Records.Gav.damaged-20260101",
                                   "records.gav.unprotected-1"}) {
        NamingFake fake;
        fake.draws = {42};
        EXPECT_EQ(fake.Choose(kVault, name), kVault + "42" + name) << name;
        EXPECT_TRUE(IsReservedVaultName(name)) << name;
    }
    for (const std::string name :
         {"records.gav2", "records.ga", "myrecords.gav", "42records.gav"}) {
        EXPECT_FALSE(IsReservedVaultName(name)) << name;
        NamingFake fake;
        EXPECT_EQ(fake.Choose(kVault, name), kVault + name) << name;
    }
}

}  // namespace
}  // namespace tolvar
