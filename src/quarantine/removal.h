#pragma once

// The removal run: each infected file is copied whole into the vault, a
// program running from it is ended, and only then is the file deleted (or,
// when it cannot be, made harmless). A file whose copy fails stays where it
// is and counts as not removed.

#include <vector>

#include "core/infection_record.h"

namespace tolvar {

class ScanSession;
class RemovalRun {
public:
    // The items are the first `items` records of the table, handled last
    // first.
    RemovalRun(const InfectionTable& table, int items);

    int Remaining() const { return next_; }
    const InfectionRecord& Next() const { return items_[next_ - 1]; }
    // Handles the next item; false when none was left.
    bool RemoveNextItem();

    int Removed() const { return removed_; }
    // The items that are still where they were, in detection order.
    std::vector<InfectionRecord> NotRemoved() const;

private:
    bool RemoveItem(InfectionRecord& record);

    std::vector<InfectionRecord> items_;
    std::vector<bool> removedItems_;
    int next_;
    int removed_ = 0;
};

// The windows of a removal.
class RemovalWindows {
public:
    virtual ~RemovalWindows() = default;

    // Asks, modally, whether the running scan should stop (and stops it on
    // yes); the removal does not start from here.
    virtual void AskToStopScan() = 0;
    // Runs the removal to its end, one item per tick, showing its progress.
    virtual void RunRemoval(RemovalRun& run) = 0;
    // Shows, modally, how many were removed and how many could not be.
    virtual void ShowRemovalDone(int removed, int notRemoved) = 0;
};

// Stops a running scan, runs the removal with its progress window, shows the
// result on the Scan page and in the done window, and records the count of
// removals.
void StartRemoval(ScanSession& scan, RemovalWindows& windows);

// The Scan page's "Remove Found Infections" command.
void RemoveCommand(ScanSession& scan, RemovalWindows& windows);

}  // namespace tolvar
