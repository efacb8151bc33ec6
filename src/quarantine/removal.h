#pragma once

// The removal run: each infected file is copied whole into the vault, a
// program running from it is ended, and only then is the file deleted (or,
// when it cannot be, made harmless). A file whose copy fails stays where it
// is and counts as not removed.

#include <vector>

#include "core/infection_record.h"

namespace tolvar {

class TForm1;

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

// Stops a running scan, runs the removal with its progress window, shows the
// result and records the count of removals.
void StartRemoval(TForm1& form);

// The Scan page's "Remove Found Infections" command.
void RemoveCommand(TForm1& form);

}  // namespace tolvar
