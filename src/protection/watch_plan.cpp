#include "protection/watch_plan.h"

#include <set>

#include "core/path_compare.h"

namespace tolvar {

WatchPlan PlanWatches(const std::vector<std::string>& folders, const ExcludedFolders& skipped,
                      const FolderIdentity& identity) {
    std::vector<std::string> kept;
    std::vector<std::string> keptComparable;
    for (const std::string& folder : folders) {
        if (folder.empty() || skipped.Covers(folder)) continue;
        kept.push_back(folder);
        keptComparable.push_back(ComparablePath(folder));
    }

    WatchPlan plan;
    std::set<std::string> identities;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        bool covered = false;
        for (std::size_t j = 0; j < kept.size() && !covered; ++j) {
            if (i == j) continue;
            // The same path twice: the first spelling is kept.
            if (keptComparable[i] == keptComparable[j])
                covered = j < i;
            else
                covered = LiesInside(keptComparable[i], keptComparable[j]);
        }
        if (covered) continue;
        const std::optional<std::string> id = identity(kept[i]);
        if (!id) {
            plan.absent.push_back(kept[i]);
            continue;
        }
        if (!identities.insert(*id).second) continue;
        plan.watch.push_back(kept[i]);
    }
    return plan;
}

}  // namespace tolvar
