#include "protection/request_joiner.h"

#include <algorithm>

#include "core/path_compare.h"

namespace tolvar {

namespace {

bool IsFolderTarget(const std::string& target) {
    return !target.empty() && target.back() == '\\';
}

// True when target is the same as folder, or lies inside it.
bool CoveredBy(const std::string& target, const std::string& folder) {
    return IsFolderTarget(folder) && LiesInside(ComparablePath(target), ComparablePath(folder));
}

}  // namespace

void RequestJoiner::Add(const std::vector<std::string>& targets, std::uint64_t nowMs) {
    if (targets.empty()) return;
    if (targets_.empty()) {
        firstMs_ = nowMs;
        lastMs_ = nowMs;
    }
    // Requests kept while the program started are handed in after its own,
    // with the earlier times they came at.
    lastMs_ = std::max(lastMs_, nowMs);
    for (const std::string& target : targets) {
        const bool known =
            std::any_of(targets_.begin(), targets_.end(), [&](const std::string& kept) {
                return SamePath(kept, target) || CoveredBy(target, kept);
            });
        if (known) continue;
        // A folder takes in what was asked inside it before.
        std::erase_if(targets_, [&](const std::string& kept) { return CoveredBy(kept, target); });
        targets_.push_back(target);
    }
}

std::uint64_t RequestJoiner::ReadyAt() const {
    return std::min(lastMs_ + kQuietMs, firstMs_ + kLongestWaitMs);
}

std::vector<std::string> RequestJoiner::TakeReady(std::uint64_t nowMs) {
    if (!Waiting() || nowMs < ReadyAt()) return {};
    std::vector<std::string> ready;
    ready.swap(targets_);
    return ready;
}

}  // namespace tolvar
