#pragma once

// When a file that changed in a watched folder is ready to be looked at: a
// file still being written changes again and again, and scanning it at each
// change would scan half a file many times. A file is due once it has been
// quiet (no change heard) for a while after its last change; many changes
// make one due. A file its writer still holds (it cannot be opened without
// a sharing violation) is due again later, with a growing wait. Times are
// milliseconds on a clock the caller gives, so that tests can drive it.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/excluded_folders.h"

namespace tolvar {

enum class ChangeKind {
    Added,
    Modified,
    RenamedTo,  // the entry's new name after a rename (its old name is Removed)
    Removed,
    NewFolder,  // a folder made or moved in: what it holds was never announced
};

struct ArrivalTiming {
    std::uint64_t quietMs = 500;
    // The first wait after a sharing violation; each further one doubles,
    // up to retryCapMs.
    std::uint64_t retryMs = 1000;
    std::uint64_t retryCapMs = 4000;
};

// A file handed out as due; given back through Busy() when its writer
// still held it.
struct DueFile {
    std::string path;
    int attempt = 0;  // how many times it was found held since its last change
};

class ArrivalQueue {
public:
    // skipped: folders whose files are never due (the vault, the data and
    // database folders, the user's excluded folders).
    ArrivalQueue(ExcludedFolders skipped, ArrivalTiming timing);

    // A change heard at nowMs. A partial download's name and a path under a
    // skipped folder are ignored; a removal drops the file, and anything
    // pending below it if it was a folder.
    void Note(std::string_view path, ChangeKind kind, std::uint64_t nowMs);

    // The new folders noted since the last call, to be walked for files.
    std::vector<std::string> TakeNewFolders();

    // The files due at nowMs, oldest due first; they leave the queue.
    std::vector<DueFile> TakeDue(std::uint64_t nowMs);

    // A due file could not be opened for a sharing violation: due again
    // after the next wait. A change heard for it meanwhile takes precedence
    // (the quiet time runs again).
    void Busy(const DueFile& file, std::uint64_t nowMs);

    // When the worker must wake next: the earliest due time; nothing when
    // no file is pending (and no new folder waits), so the worker sleeps
    // until a change comes.
    std::optional<std::uint64_t> NextWake() const;

    std::size_t pending() const { return entries_.size(); }

private:
    struct Entry {
        std::string path;
        std::uint64_t dueAt = 0;
        int attempt = 0;
    };
    using Key = std::string;  // the path in ComparablePath's form

    void Schedule(const Key& key, std::string path, std::uint64_t dueAt, int attempt);
    void Drop(const Key& key);
    void DropBelow(const Key& folder);

    ExcludedFolders skipped_;
    ArrivalTiming timing_;
    std::map<Key, Entry> entries_;
    std::set<std::pair<std::uint64_t, Key>> byDue_;
    std::vector<std::string> newFolders_;
};

}  // namespace tolvar
