// Which folders get a watch of their own, and what the walks after a new
// folder and after lost notices find, over a listing the test makes up.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protection/changed_files_walk.h"
#include "protection/watch_plan.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

// Identities as Windows would give them: the known folders redirected onto
// one folder share one; a folder not listed cannot be opened.
FolderIdentity Identities(std::map<std::string, std::string> ids) {
    return [ids](const std::string& folder) -> std::optional<std::string> {
        auto id = ids.find(folder);
        if (id == ids.end()) return std::nullopt;
        return id->second;
    };
}

// Guards against each change being heard (and scanned) twice when two
// watched folders are one, or one lies inside another.
TEST(WatchPlan, FoldersThatAreOneAreWatchedOnce) {
    const Strings folders{"C:\\Users\\me\\Documents", "C:\\Users\\me\\Desktop",
                          "c:\\users\\me\\documents\\", "C:\\Users\\me\\Documents\\Work",
                          "C:\\Users\\me\\Downloads"};
    const WatchPlan plan =
        PlanWatches(folders, ExcludedFolders(),
                    Identities({{"C:\\Users\\me\\Documents", "1:100"},
                                {"c:\\users\\me\\documents\\", "1:100"},
                                {"C:\\Users\\me\\Documents\\Work", "1:101"},
                                {"C:\\Users\\me\\Desktop", "1:100"},  // redirected
                                {"C:\\Users\\me\\Downloads", "1:200"}}));
    EXPECT_EQ(plan.watch, (Strings{"C:\\Users\\me\\Documents", "C:\\Users\\me\\Downloads"}));
    EXPECT_TRUE(plan.absent.empty());
}

// Guards against the program watching its own vault (every quarantine
// would be heard as a new file) and against a folder that is not there now
// (a removed drive) being forgotten rather than tried again.
TEST(WatchPlan, AFolderInsideASkippedOneIsDroppedAMissingOneWaits) {
    const WatchPlan plan = PlanWatches({"C:\\ProgramData\\Tolvar\\Vault", "E:\\Photos",
                                        "C:\\Users\\me\\Downloads", "E:\\Photos\\2026"},
                                       ExcludedFolders({"C:\\ProgramData\\Tolvar"}),
                                       Identities({{"C:\\ProgramData\\Tolvar\\Vault", "1:5"},
                                                   {"C:\\Users\\me\\Downloads", "1:200"}}));
    EXPECT_EQ(plan.watch, Strings{"C:\\Users\\me\\Downloads"});
    // The subfolder is covered by its parent's watch once the drive is back.
    EXPECT_EQ(plan.absent, Strings{"E:\\Photos"});
}

struct FakeTree {
    std::map<std::string, std::vector<ListedEntry>> folders;
    Strings read;
    ListFolder Lister() {
        return [this](const std::string& folder) {
            read.push_back(folder);
            auto entries = folders.find(folder);
            return entries == folders.end() ? std::vector<ListedEntry>{} : entries->second;
        };
    }
};

// Guards against an overflow losing a file written just before the lost
// notices (its time set before the last notice heard), a copy whose
// last-write time is its original's, files deep in a new tree, and a walk
// that enters a link (out of the tree, or round in a loop) or a skipped
// folder.
TEST(ChangedFilesWalk, FindsWhatChangedSinceTheLastNoticeLessTheSlack) {
    const std::uint64_t lastNotice = 134'000'000'000'000'000ull;
    const std::uint64_t since = OverflowWalkSince(lastNotice);
    EXPECT_EQ(since, lastNotice - kOverflowSlackTicks);
    EXPECT_EQ(OverflowWalkSince(5), 0u);

    FakeTree tree;
    tree.folders["C:\\W"] = {{"old.txt", false, false, since - 1, since - 1},
                             {"edge.txt", false, false, since, 0},
                             {"new.txt", false, false, lastNotice + 5, 0},
                             {"copied.pdf", false, false, 1000, lastNotice + 9},
                             {"sub", true, false, 0, 0},
                             {"loop", true, true, lastNotice, lastNotice},
                             {"vault", true, false, lastNotice, lastNotice}};
    tree.folders["C:\\W\\sub"] = {{"deeper", true, false, 0, 0}};
    tree.folders["C:\\W\\sub\\deeper"] = {{"late.bin", false, false, lastNotice + 50, 0},
                                          {"stale.bin", false, false, 10, 10}};
    tree.folders["C:\\W\\vault"] = {{"q.bin", false, false, lastNotice, lastNotice}};
    const Strings found =
        ChangedFilesBelow("C:\\W", since, ExcludedFolders({"C:\\W\\Vault"}), tree.Lister());
    EXPECT_EQ(found, (Strings{"C:\\W\\edge.txt", "C:\\W\\new.txt", "C:\\W\\copied.pdf",
                              "C:\\W\\sub\\deeper\\late.bin"}));
    EXPECT_EQ(tree.read, (Strings{"C:\\W", "C:\\W\\sub", "C:\\W\\sub\\deeper"}));

    // A new folder's walk takes every file; a drive's root lists without a
    // second backslash.
    tree.folders["D:\\"] = {{"a", false, false, 0, 0}};
    EXPECT_EQ(ChangedFilesBelow("D:\\", 0, ExcludedFolders(), tree.Lister()), Strings{"D:\\a"});
}

}  // namespace
}  // namespace tolvar
