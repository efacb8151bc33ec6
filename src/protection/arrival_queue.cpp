#include "protection/arrival_queue.h"

#include <algorithm>

#include "core/path_compare.h"
#include "protection/partial_download.h"

namespace tolvar {

ArrivalQueue::ArrivalQueue(ExcludedFolders skipped, ArrivalTiming timing)
    : skipped_(std::move(skipped)), timing_(timing) {}

void ArrivalQueue::Note(std::string_view path, ChangeKind kind, std::uint64_t nowMs) {
    if (path.empty() || skipped_.Covers(path)) return;
    const Key key = ComparablePath(path);
    switch (kind) {
        case ChangeKind::Removed:
            Drop(key);
            DropBelow(key);
            return;
        case ChangeKind::NewFolder:
            newFolders_.emplace_back(path);
            return;
        case ChangeKind::Added:
        case ChangeKind::Modified:
        case ChangeKind::RenamedTo:
            // Its final name comes as a rename (or, from some systems, as a new
            // file) once the download is complete.
            if (IsPartialDownload(path)) return;
            Schedule(key, std::string(path), nowMs + timing_.quietMs, 0);
            return;
    }
}

std::vector<std::string> ArrivalQueue::TakeNewFolders() {
    std::vector<std::string> folders;
    folders.swap(newFolders_);
    return folders;
}

std::vector<DueFile> ArrivalQueue::TakeDue(std::uint64_t nowMs) {
    std::vector<DueFile> due;
    while (!byDue_.empty() && byDue_.begin()->first <= nowMs) {
        auto entry = entries_.find(byDue_.begin()->second);
        due.push_back({std::move(entry->second.path), entry->second.attempt});
        entries_.erase(entry);
        byDue_.erase(byDue_.begin());
    }
    return due;
}

void ArrivalQueue::Busy(const DueFile& file, std::uint64_t nowMs) {
    const Key key = ComparablePath(file.path);
    if (entries_.count(key)) return;
    std::uint64_t wait = timing_.retryMs;
    for (int i = 0; i < file.attempt && wait < timing_.retryCapMs; ++i)
        wait *= 2;
    wait = std::min(wait, std::max(timing_.retryCapMs, timing_.retryMs));
    Schedule(key, file.path, nowMs + wait, file.attempt + 1);
}

std::optional<std::uint64_t> ArrivalQueue::NextWake() const {
    // A new folder is walked at once, before the worker waits again.
    if (!newFolders_.empty()) return 0;
    if (byDue_.empty()) return std::nullopt;
    return byDue_.begin()->first;
}

void ArrivalQueue::Schedule(const Key& key, std::string path, std::uint64_t dueAt, int attempt) {
    auto [entry, added] = entries_.try_emplace(key);
    if (!added) byDue_.erase({entry->second.dueAt, key});
    entry->second = {std::move(path), dueAt, attempt};
    byDue_.insert({dueAt, key});
}

void ArrivalQueue::Drop(const Key& key) {
    auto entry = entries_.find(key);
    if (entry == entries_.end()) return;
    byDue_.erase({entry->second.dueAt, key});
    entries_.erase(entry);
}

void ArrivalQueue::DropBelow(const Key& folder) {
    // The keys below a folder sort together, right after the folder's own
    // name and its backslash.
    const Key prefix = folder + "\\";
    auto entry = entries_.lower_bound(prefix);
    while (entry != entries_.end() && entry->first.compare(0, prefix.size(), prefix) == 0) {
        byDue_.erase({entry->second.dueAt, entry->first});
        entry = entries_.erase(entry);
    }
}

}  // namespace tolvar
