#include "protection/scanned_cache.h"

#include "core/path_compare.h"

namespace tolvar {

namespace {

std::string Key(const std::string& path) {
    return ComparablePath(path);
}

}  // namespace

bool ScannedCache::Unchanged(const std::string& path, std::uint64_t size,
                             std::uint64_t lastWrite) const {
    const auto seen = known_.find(Key(path));
    return seen != known_.end() && seen->second.size == size && seen->second.lastWrite == lastWrite;
}

void ScannedCache::Remember(const std::string& path, std::uint64_t size, std::uint64_t lastWrite) {
    if (limit_ == 0) return;
    std::string key = Key(path);
    const auto [where, added] = known_.insert_or_assign(key, Seen{size, lastWrite});
    (void)where;
    if (added) order_.push_back(std::move(key));
    while (known_.size() > limit_ && !order_.empty()) {
        known_.erase(order_.front());
        order_.pop_front();
    }
    // Keys forgotten meanwhile would let the order grow without bound.
    if (order_.size() > 2 * limit_) {
        std::deque<std::string> kept;
        for (std::string& k : order_)
            if (known_.count(k)) kept.push_back(std::move(k));
        order_.swap(kept);
    }
}

void ScannedCache::Forget(const std::string& path) {
    known_.erase(Key(path));
}

void ScannedCache::Clear() {
    known_.clear();
    order_.clear();
}

}  // namespace tolvar
