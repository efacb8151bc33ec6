#pragma once

// The files to look at when the change notices of a folder cannot tell: a
// folder made or moved into a watched one (its files were never announced
// one by one), and a watched folder whose notices were lost (the system's
// buffer overflowed). The walk goes through a listing the caller gives, so
// that the decision is tested without a file system.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/excluded_folders.h"

namespace tolvar {

struct ListedEntry {
    std::string name;  // the name alone, never "." or ".."
    bool folder = false;
    // A link or junction is never entered: it can lead outside the watched
    // tree or back into it.
    bool link = false;
    // In FILETIME ticks (100 ns since 1601). A copy keeps its original's
    // last-write time but is made now: either time counts as a change.
    std::uint64_t lastWrite = 0;
    std::uint64_t created = 0;
};

// The entries of a folder; nothing when it cannot be read.
using ListFolder = std::function<std::vector<ListedEntry>(const std::string& folder)>;

// How far back from the last notice heard before a loss the walk reaches: a
// file's last-write time is set by its writer's clock before the notice is
// heard, and some file systems keep times to 2 s.
inline constexpr std::uint64_t kOverflowSlackTicks = 3ull * 10'000'000;

// The time from which an overflow walk takes files: the last notice heard
// before the loss, less the slack.
std::uint64_t OverflowWalkSince(std::uint64_t lastNoticeTicks);

// The files below folder (at any depth, never below a skipped folder or a
// link) whose last-write or creation time is at or after sinceTicks (0 takes every
// file), as full paths.
std::vector<std::string> ChangedFilesBelow(const std::string& folder, std::uint64_t sinceTicks,
                                           const ExcludedFolders& skipped, const ListFolder& list);

}  // namespace tolvar
