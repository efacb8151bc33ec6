#pragma once

// The commands of the vault list: the two restores, restore and allow, and
// delete, and the list they act on.

#include <functional>
#include <string>
#include <vector>

namespace tolvar {

class VaultTable;

// The vault list as its commands need it: the selected rows, the rows
// rebuilt from the vault, a question, a notice, and a folder picker.
class VaultListView {
public:
    virtual ~VaultListView() = default;

    // The selected rows, counted from 0, in ascending order.
    virtual std::vector<int> SelectedRows() const = 0;
    // One row per record of the vault, in record order.
    virtual void ShowVaultRows(const VaultTable& vault) = 0;
    // A yes-or-no question; true for yes.
    virtual bool Ask(const std::string& question) = 0;
    virtual void Tell(const std::string& notice) = 0;
    // The folder the user picked; "" when the picker was cancelled.
    virtual std::string ChooseFolder() = 0;
};

// Each command acts on every selected record, one after another, each found
// again by its texts as the ones before it leave the vault.

// Puts the selected records' files back where they were found.
void RestoreToOriginal(VaultListView& list);
// Puts them into one folder the user picks.
void RestoreToFolder(VaultListView& list);
// Puts them back where they were found and adds the content of each one
// restored to the allow list in databaseFolder (which ends with a
// backslash), so that scans no longer find it; allowed runs once afterwards
// when any was added (a loaded engine reads the list again).
void RestoreAndAllow(VaultListView& list, const std::string& databaseFolder,
                     const std::function<void()>& allowed);

}  // namespace tolvar
