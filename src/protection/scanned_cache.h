#pragma once

// The files real-time protection found clean, by path, with the size and
// last-write time they had then: a file that has not changed since is not
// scanned again, however often its folder reports it (a program that
// touches its files, an overflow's walk). Paths compare without regard to
// case, as Windows names them. The cache holds at most a fixed number of
// files and forgets the longest-known first.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace tolvar {

class ScannedCache {
public:
    explicit ScannedCache(std::size_t limit = 100000) : limit_(limit) {}

    bool Unchanged(const std::string& path, std::uint64_t size, std::uint64_t lastWrite) const;
    void Remember(const std::string& path, std::uint64_t size, std::uint64_t lastWrite);
    // A file that changed hands (quarantined, found, deleted) is known no more.
    void Forget(const std::string& path);
    // After a new database: what was clean may be found now.
    void Clear();
    std::size_t Size() const { return known_.size(); }

private:
    struct Seen {
        std::uint64_t size;
        std::uint64_t lastWrite;
    };
    std::size_t limit_;
    std::unordered_map<std::string, Seen> known_;
    std::deque<std::string> order_;  // oldest first; may hold forgotten keys
};

}  // namespace tolvar
