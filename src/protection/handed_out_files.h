#pragma once

// The version (size and last-write time) of each file the watch has handed
// out, so that the same version is not handed out again: a walk after lost
// notices looks a little further back than the last notice heard, and finds
// files handed out just before; a copy tool may touch a file's times
// without changing it. Memory stays bounded: past a limit the oldest
// entries are forgotten (at worst, such a file is scanned once more).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>

namespace tolvar {

class HandedOutFiles {
public:
    explicit HandedOutFiles(std::size_t limit = 100'000) : limit_(limit) {}

    // True (and the version kept) when this version of the file was not
    // handed out before.
    bool IsNew(std::string_view path, std::uint64_t size, std::uint64_t lastWrite);
    // The file, or a folder and everything kept below it, is gone: a new
    // file by that name is new whatever its size and time.
    void Forget(std::string_view path);
    std::size_t size() const { return versions_.size(); }

private:
    struct Version {
        std::uint64_t size = 0;
        std::uint64_t lastWrite = 0;
        std::uint64_t serial = 0;  // which entry of order_ is its own
    };
    std::size_t limit_;
    std::uint64_t nextSerial_ = 0;
    std::map<std::string, Version> versions_;  // by the path in ComparablePath's form
    std::deque<std::pair<std::string, std::uint64_t>> order_;  // oldest first
};

}  // namespace tolvar
