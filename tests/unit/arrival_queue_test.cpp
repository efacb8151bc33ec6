// When a changed file in a watched folder is due to be looked at, on a
// clock the test moves by hand.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protection/arrival_queue.h"
#include "protection/partial_download.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

constexpr ArrivalTiming kTiming{500, 1000, 4000};

Strings Paths(const std::vector<DueFile>& due) {
    Strings paths;
    for (const DueFile& file : due)
        paths.push_back(file.path);
    return paths;
}

ArrivalQueue Queue(Strings skipped = {}) {
    return ArrivalQueue(ExcludedFolders(std::move(skipped)), kTiming);
}

// Guards against a file being scanned while its writer is still at it (due
// before it has been quiet), against one scan per write, and against a
// worker that polls when nothing is pending.
TEST(ArrivalQueue, AFileIsDueOnceAfterItsLastChangeHasBeenQuiet) {
    ArrivalQueue queue = Queue();
    EXPECT_EQ(queue.NextWake(), std::nullopt);
    queue.Note("C:\\Downloads\\setup.exe", ChangeKind::Added, 1000);
    for (std::uint64_t t = 1100; t <= 4000; t += 100) {
        queue.Note("C:\\Downloads\\setup.exe", ChangeKind::Modified, t);
        EXPECT_TRUE(queue.TakeDue(t).empty()) << t;
    }
    EXPECT_EQ(queue.NextWake(), 4500u);
    EXPECT_TRUE(queue.TakeDue(4499).empty());
    EXPECT_EQ(Paths(queue.TakeDue(4500)), Strings{"C:\\Downloads\\setup.exe"});
    EXPECT_TRUE(queue.TakeDue(100000).empty());
    EXPECT_EQ(queue.NextWake(), std::nullopt);
}

// Guards against two spellings of one name (Windows names ignore case)
// making two scans, and against files due out of order.
TEST(ArrivalQueue, OneFileUnderTwoSpellingsIsOneAndFilesComeInDueOrder) {
    ArrivalQueue queue = Queue();
    queue.Note("C:\\Downloads\\b.txt", ChangeKind::Added, 0);
    queue.Note("C:\\Downloads\\a.txt", ChangeKind::Added, 100);
    queue.Note("c:\\downloads\\B.TXT", ChangeKind::Modified, 200);
    EXPECT_EQ(queue.pending(), 2u);
    EXPECT_EQ(Paths(queue.TakeDue(1000)),
              (Strings{"C:\\Downloads\\a.txt", "c:\\downloads\\B.TXT"}));
}

// Guards against scanning (and reporting) a file that is gone, and against
// the files of a removed folder staying due.
TEST(ArrivalQueue, ARemovedFileOrFolderIsDropped) {
    ArrivalQueue queue = Queue();
    queue.Note("C:\\D\\gone.txt", ChangeKind::Added, 0);
    queue.Note("C:\\D\\gone.txt", ChangeKind::Removed, 10);
    queue.Note("C:\\D\\sub\\one.txt", ChangeKind::Added, 0);
    queue.Note("C:\\D\\sub\\deeper\\two.txt", ChangeKind::Added, 0);
    queue.Note("C:\\D\\sub2\\stays.txt", ChangeKind::Added, 0);
    queue.Note("C:\\D\\SUB", ChangeKind::Removed, 10);
    EXPECT_EQ(Paths(queue.TakeDue(10000)), Strings{"C:\\D\\sub2\\stays.txt"});
}

// Guards against half a download being scanned, or the same download
// scanned twice (once under its passing name, once under its final one).
TEST(ArrivalQueue, APartialDownloadIsNeverDueItsFinalNameOnce) {
    ArrivalQueue queue = Queue();
    const char* partial = "C:\\Downloads\\tool.exe.crdownload";
    queue.Note(partial, ChangeKind::Added, 0);
    for (std::uint64_t t = 10; t < 3000; t += 10)
        queue.Note(partial, ChangeKind::Modified, t);
    EXPECT_EQ(queue.NextWake(), std::nullopt);
    queue.Note(partial, ChangeKind::Removed, 3000);
    queue.Note("C:\\Downloads\\tool.exe", ChangeKind::RenamedTo, 3000);
    queue.Note("C:\\Downloads\\tool.exe", ChangeKind::Modified, 3001);
    EXPECT_EQ(Paths(queue.TakeDue(5000)), Strings{"C:\\Downloads\\tool.exe"});
    EXPECT_TRUE(queue.TakeDue(50000).empty());

    EXPECT_TRUE(IsPartialDownload("C:\\D\\a.PART"));
    EXPECT_TRUE(IsPartialDownload("C:\\D\\a.zip.Partial"));
    EXPECT_TRUE(IsPartialDownload("C:\\D\\a.CrDownload"));
    // Only the name's ending counts, not a folder's, not a look-alike.
    EXPECT_FALSE(IsPartialDownload("C:\\x.part\\a.exe"));
    EXPECT_FALSE(IsPartialDownload("C:\\D\\a.parts"));
    EXPECT_FALSE(IsPartialDownload("C:\\D\\apart"));
    EXPECT_FALSE(IsPartialDownload("C:\\D\\.part"));
}

// Guards against a held file being lost after its first sharing violation,
// against a tight retry loop that burns the processor for as long as a
// writer holds the file, and against a wait that grows without bound (a
// file let go after an hour scanned minutes late).
TEST(ArrivalQueue, AHeldFileIsRetriedWithAGrowingWaitUpToTheCap) {
    ArrivalQueue queue = Queue();
    queue.Note("C:\\D\\held.db", ChangeKind::Modified, 0);
    std::vector<DueFile> due = queue.TakeDue(500);
    ASSERT_EQ(due.size(), 1u);
    std::uint64_t now = 500;
    std::vector<std::uint64_t> waits;
    for (int i = 0; i < 6; ++i) {
        queue.Busy(due[0], now);
        ASSERT_TRUE(queue.NextWake());
        waits.push_back(*queue.NextWake() - now);
        now = *queue.NextWake();
        due = queue.TakeDue(now);
        ASSERT_EQ(due.size(), 1u);
    }
    EXPECT_EQ(waits, (std::vector<std::uint64_t>{1000, 2000, 4000, 4000, 4000, 4000}));

    // A change heard while it is held starts the quiet time again, and the
    // wait from its first length.
    queue.Busy(due[0], now);
    queue.Note("C:\\D\\held.db", ChangeKind::Modified, now + 10);
    EXPECT_EQ(queue.NextWake(), now + 10 + 500);
    due = queue.TakeDue(now + 510);
    ASSERT_EQ(due.size(), 1u);
    queue.Busy(due[0], now + 510);
    EXPECT_EQ(queue.NextWake(), now + 510 + 1000);

    // Removed while held: no more retries.
    queue.Note("C:\\D\\held.db", ChangeKind::Removed, now + 600);
    EXPECT_EQ(queue.NextWake(), std::nullopt);
}

// Guards against a change heard between the hand-out and the violation
// being overridden by the longer retry wait.
TEST(ArrivalQueue, AChangeHeardWhileHandedOutWinsOverTheRetry) {
    ArrivalQueue queue = Queue();
    queue.Note("C:\\D\\f.txt", ChangeKind::Added, 0);
    std::vector<DueFile> due = queue.TakeDue(500);
    ASSERT_EQ(due.size(), 1u);
    queue.Note("C:\\D\\f.txt", ChangeKind::Modified, 600);
    queue.Busy(due[0], 700);
    EXPECT_EQ(queue.NextWake(), 1100u);
}

// Guards against the program scanning (and so locking) its own vault, its
// data and database folders, and the folders the user excluded.
TEST(ArrivalQueue, NothingUnderASkippedFolderIsEverDue) {
    ArrivalQueue queue = Queue({"C:\\ProgramData\\Tolvar", "C:\\Users\\me\\Downloads\\Big"});
    queue.Note("C:\\ProgramData\\Tolvar\\vault\\1.bin", ChangeKind::Added, 0);
    queue.Note("c:\\programdata\\tolvar\\db\\main.cvd", ChangeKind::Modified, 0);
    queue.Note("C:\\Users\\me\\Downloads\\Big\\x.iso", ChangeKind::Added, 0);
    queue.Note("C:\\Users\\me\\Downloads\\Big\\new", ChangeKind::NewFolder, 0);
    queue.Note("C:\\Users\\me\\Downloads\\Bigger\\y.iso", ChangeKind::Added, 0);
    EXPECT_TRUE(queue.TakeNewFolders().empty());
    EXPECT_EQ(Paths(queue.TakeDue(1000)), Strings{"C:\\Users\\me\\Downloads\\Bigger\\y.iso"});
}

// Guards against a new folder's files waiting for a change that never
// comes: the worker must wake at once to walk it.
TEST(ArrivalQueue, ANewFolderIsHandedOutToBeWalkedAtOnce) {
    ArrivalQueue queue = Queue();
    queue.Note("C:\\D\\unpacked", ChangeKind::NewFolder, 7000);
    EXPECT_EQ(queue.NextWake(), 0u);
    EXPECT_EQ(queue.pending(), 0u);
    EXPECT_EQ(queue.TakeNewFolders(), Strings{"C:\\D\\unpacked"});
    EXPECT_TRUE(queue.TakeNewFolders().empty());
    EXPECT_EQ(queue.NextWake(), std::nullopt);
}

}  // namespace
}  // namespace tolvar
