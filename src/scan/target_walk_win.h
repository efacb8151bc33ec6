#pragma once

// The files a scan's targets hold, found by the program itself for an
// engine that is given one file at a time (clamd): every file, however deep,
// and never what a junction or a symbolic link inside a target leads to (a
// link can lead back up the tree, or onto another drive). A target may be a
// file, and a target that is itself a link is followed, as the user named it.

#include <functional>
#include <string>
#include <vector>

namespace tolvar {

struct TargetWalk {
    // Called with each file's full path, in the program's UTF-8.
    std::function<void(std::string)> file;
    // Asked between entries; true ends the walk early.
    std::function<bool()> stopping;
};

// Walks the targets; false when some target or folder could not be read,
// whose files then go unscanned.
bool WalkTargets(const std::vector<std::string>& targets, const TargetWalk& walk);

}  // namespace tolvar
