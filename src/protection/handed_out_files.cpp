#include "protection/handed_out_files.h"

#include "core/path_compare.h"

namespace tolvar {

bool HandedOutFiles::IsNew(std::string_view path, std::uint64_t size, std::uint64_t lastWrite) {
    const std::string key = ComparablePath(path);
    auto [entry, added] = versions_.try_emplace(key);
    if (!added && entry->second.size == size && entry->second.lastWrite == lastWrite) return false;
    entry->second = {size, lastWrite, nextSerial_};
    order_.emplace_back(key, nextSerial_++);
    // An entry of order_ whose serial is no longer its file's is stale.
    while (versions_.size() > limit_ || order_.size() > 2 * limit_ + 1) {
        auto oldest = versions_.find(order_.front().first);
        if (oldest != versions_.end() && oldest->second.serial == order_.front().second)
            versions_.erase(oldest);
        order_.pop_front();
    }
    return true;
}

void HandedOutFiles::Forget(std::string_view path) {
    const std::string key = ComparablePath(path);
    versions_.erase(key);
    const std::string prefix = key + "\\";
    auto entry = versions_.lower_bound(prefix);
    while (entry != versions_.end() && entry->first.compare(0, prefix.size(), prefix) == 0)
        entry = versions_.erase(entry);
}

}  // namespace tolvar
