#pragma once

// Requests to scan, joined into one scan. Explorer starts one process per
// selected item, each with one path, so a selection of fifteen arrives as
// fifteen requests within a moment: they become one scan once no request
// has come for a moment, or at the latest a few moments after the first,
// so that a steady trickle cannot hold the scan back for ever. A request
// that comes while a scan runs waits for it to end (the caller asks only
// when the program is free). Times are milliseconds of any steady clock.

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar {

class RequestJoiner {
public:
    static constexpr std::uint64_t kQuietMs = 1000;
    static constexpr std::uint64_t kLongestWaitMs = 5000;

    // Targets as the program scans them: full paths, a folder's ending with
    // a backslash, a file's not.
    void Add(const std::vector<std::string>& targets, std::uint64_t nowMs);
    bool Waiting() const { return !targets_.empty(); }
    // When the waiting targets may be scanned; meaningful while Waiting().
    std::uint64_t ReadyAt() const;
    // The joined targets when they are ready at nowMs, and the joiner is
    // empty again; nothing before. Each target once (in any case or
    // spelling the file system takes as one), and none that lies inside a
    // folder that is scanned too, in the order they first came.
    std::vector<std::string> TakeReady(std::uint64_t nowMs);
    const std::vector<std::string>& Targets() const { return targets_; }

private:
    std::vector<std::string> targets_;
    std::uint64_t firstMs_ = 0;
    std::uint64_t lastMs_ = 0;
};

}  // namespace tolvar
