#include "scan/target_walk.h"

#include <unordered_set>

#include "core/reparse_tag.h"

namespace tolvar {

namespace {

constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kReparsePoint = 0x400;

std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

}  // namespace

bool WalkTargets(const std::vector<std::string>& targets, TreeLister& lister,
                 const TargetWalk& walk) {
    bool allRead = true;
    std::unordered_set<std::string> walkedFolders;
    for (const std::string& target : targets) {
        if (walk.stopping()) return allRead;
        if (walk.excluded && walk.excluded(target)) continue;
        const std::optional<std::uint32_t> attributes = lister.Attributes(target);
        if (!attributes) {
            allRead = false;
            continue;
        }
        if (!(*attributes & kDirectory)) {
            walk.file(target);
            continue;
        }
        // Depth first, one folder listed at a time, so that files reach the
        // engine from the first folder on.
        std::vector<std::string> folders{WithBackslash(target)};
        while (!folders.empty() && !walk.stopping()) {
            const std::string folder = std::move(folders.back());
            folders.pop_back();
            const std::optional<std::string> identity = lister.FolderIdentity(folder);
            if (identity && !walkedFolders.insert(*identity).second) continue;
            const bool listed = lister.List(folder, [&](const TreeLister::Entry& entry) {
                if ((entry.attributes & kReparsePoint) && IsLinkTag(entry.reparseTag)) {
                    return true;
                }
                if (entry.attributes & kDirectory) {
                    std::string below = folder + entry.name;
                    if (walk.excluded && walk.excluded(below)) return !walk.stopping();
                    folders.push_back(std::move(below) + "\\");
                } else {
                    walk.file(folder + entry.name);
                }
                return !walk.stopping();
            });
            if (!listed) allRead = false;
        }
    }
    return allRead;
}

}  // namespace tolvar
