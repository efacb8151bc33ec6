#pragma once

// The removal run: each infected file is copied whole into the vault, its
// record is stored, a program running from it is ended, and only then is
// the file deleted (or, when it cannot be, made harmless). A file whose copy
// or record fails stays where it is and counts as not removed.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/infection_record.h"
#include "quarantine/copy_writes.h"

namespace tolvar {

class ScanSession;
class Thread;

class RemovalRun {
public:
    // The items are the first `items` records of the table, handled last
    // first.
    RemovalRun(const InfectionTable& table, int items);
    // Waits for an item under way to finish.
    ~RemovalRun();
    RemovalRun(const RemovalRun&) = delete;
    RemovalRun& operator=(const RemovalRun&) = delete;

    int Remaining() const { return next_; }
    const InfectionRecord& Next() const { return items_[next_ - 1]; }

    // Starts the next item. What takes long, reading the file and writing
    // its copy into the vault, runs on a worker thread while the UI thread
    // goes on; the record, the deletion and then `finished` follow on the UI
    // thread. An item that needs no copy is finished before this returns.
    // False, with nothing started, when no item is left, the run has
    // stopped, or an item is still under way.
    bool StartNextItem(std::function<void()> finished);
    bool Busy() const { return static_cast<bool>(item_); }
    // Handles the next item to its end (handling the worker's hand-over
    // meanwhile); false when none was started.
    bool RemoveNextItem();
    // Waits, handling the hand-over, until no item is under way.
    void WaitForItemUnderWay();

    // Why the run went no further: the vault could take nothing more (its
    // records could not be stored, its disk is full, all its slots are
    // taken). The item at hand and those after it stay where they are. ""
    // while the run goes on.
    const std::string& StopReason() const { return stopReason_; }
    bool Stopped() const { return !stopReason_.empty(); }

    int Removed() const { return removed_; }
    // The items that are still where they were, in detection order.
    std::vector<InfectionRecord> NotRemoved() const;

    // The layer the copies write through.
    WriteChunk copyWrites;

private:
    struct Item;
    bool PrepareItem(Item& item);
    void CopyItem(Item& item) const;
    bool KeepAndDelete(Item& item);
    void FinishItem();

    std::vector<InfectionRecord> items_;
    std::vector<bool> removedItems_;
    int next_;
    int removed_ = 0;
    std::string stopReason_;
    std::unique_ptr<Item> item_;
    std::unique_ptr<Thread> worker_;
};

// How a run ended, for the done window.
struct RemovalOutcome {
    int removed = 0;
    int notRemoved = 0;
    std::string stopReason;  // "" when the run went through
};

// The windows of a removal.
class RemovalWindows {
public:
    virtual ~RemovalWindows() = default;

    // The infections-found prompt goes, if it is still up: the removal it
    // offers is starting now.
    virtual void ClosePrompt() = 0;
    // Tells, modally, why nothing was removed.
    virtual void TellNothingRemoved(const std::string& why) = 0;
    // Asks, modally, whether the running scan should stop (and stops it on
    // yes); the removal does not start from here.
    virtual void AskToStopScan() = 0;
    // Runs the removal to its end, one item per tick, showing its progress.
    virtual void RunRemoval(RemovalRun& run) = 0;
    // Shows, modally, how many were removed, how many could not be, and why
    // the run stopped early if it did.
    virtual void ShowRemovalDone(const RemovalOutcome& outcome) = 0;
};

// Closes the prompt; when the vault can take files, stops a running scan,
// runs the removal with its progress window, shows the result on the Scan
// page and in the done window, and adds the count of removals to the scan's.
void StartRemoval(ScanSession& scan, RemovalWindows& windows);

// The Scan page's "Remove Found Infections" command.
void RemoveCommand(ScanSession& scan, RemovalWindows& windows);

}  // namespace tolvar
