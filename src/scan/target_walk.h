#pragma once

// The files a scan's targets hold, found by the program itself for an
// engine that is given one file at a time (clamd): every file, however deep,
// and never what a junction or a symbolic link inside a target leads to (a
// link can lead back up the tree, or onto another drive). Any other reparse
// point (a cloud file's placeholder, a deduplicated file) is the file itself
// and is scanned. A target may be a file, and a target that is itself a
// link is followed, as the user named it. The folders are reached through
// the interface below, so that the rules run (and are tested) without
// Windows.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tolvar {

class TreeLister {
public:
    virtual ~TreeLister() = default;

    struct Entry {
        std::string name;
        std::uint32_t attributes = 0;  // Windows FILE_ATTRIBUTE_* bits
        std::uint32_t reparseTag = 0;  // for a reparse point (0x400)
    };

    // The attributes of a path; nothing when it cannot be reached.
    virtual std::optional<std::uint32_t> Attributes(const std::string& path) = 0;
    // Every entry of a folder (its path ends with a backslash) but "." and
    // "..", until each returns false; false when the folder could not be
    // listed.
    virtual bool List(const std::string& folder, const std::function<bool(const Entry&)>& each) = 0;
    // What tells a folder apart from every other on this computer (its
    // volume and file index), or nothing when that cannot be read. A share
    // whose server follows its own links shows them as plain folders, and
    // one that leads back up the tree would be walked round and round; a
    // folder met a second time is not listed again.
    virtual std::optional<std::string> FolderIdentity(const std::string& folder) {
        (void)folder;
        return std::nullopt;
    }
};

struct TargetWalk {
    // Called with each file's full path.
    std::function<void(std::string)> file;
    // Asked between entries; true ends the walk early.
    std::function<bool()> stopping;
    // Asked of each target and each folder before it is entered: true for
    // one the user excluded from scans, which the walk leaves whole (and
    // counts as read). Unset: none is.
    std::function<bool(const std::string&)> excluded;
};

// Walks the targets; false when some target or folder could not be read,
// whose files then go unscanned.
bool WalkTargets(const std::vector<std::string>& targets, TreeLister& lister,
                 const TargetWalk& walk);

}  // namespace tolvar
