#include "protection/changed_files_walk.h"

namespace tolvar {

std::uint64_t OverflowWalkSince(std::uint64_t lastNoticeTicks) {
    return lastNoticeTicks > kOverflowSlackTicks ? lastNoticeTicks - kOverflowSlackTicks : 0;
}

std::vector<std::string> ChangedFilesBelow(const std::string& folder, std::uint64_t sinceTicks,
                                           const ExcludedFolders& skipped, const ListFolder& list) {
    std::vector<std::string> files;
    // A list of folders still to read, not recursion: a deep tree cannot
    // exhaust the worker's stack.
    std::vector<std::string> folders{folder};
    while (!folders.empty()) {
        const std::string current = std::move(folders.back());
        folders.pop_back();
        if (skipped.Covers(current)) continue;
        const std::string prefix =
            !current.empty() && current.back() == '\\' ? current : current + "\\";
        for (const ListedEntry& entry : list(current)) {
            if (entry.name.empty() || entry.name == "." || entry.name == ".." || entry.link)
                continue;
            std::string path = prefix + entry.name;
            if (entry.folder)
                folders.push_back(std::move(path));
            else if ((entry.lastWrite >= sinceTicks || entry.created >= sinceTicks) &&
                     !skipped.Covers(path))
                files.push_back(std::move(path));
        }
    }
    return files;
}

}  // namespace tolvar
