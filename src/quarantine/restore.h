#pragma once

// The two restore commands of the vault list, and the list they act on.

#include <string>

namespace tolvar {

class VaultTable;

// The vault list as the restore commands need it: the selected row, the
// rows rebuilt from the vault, a question, a notice, and a folder picker.
class VaultListView {
public:
    virtual ~VaultListView() = default;

    // The selected row, counted from 0; -1 for none.
    virtual int SelectedRow() const = 0;
    // One row per record of the vault, in record order.
    virtual void ShowVaultRows(const VaultTable& vault) = 0;
    // A yes-or-no question; true for yes.
    virtual bool Ask(const std::string& question) = 0;
    virtual void Tell(const std::string& notice) = 0;
    // The folder the user picked; "" when the picker was cancelled.
    virtual std::string ChooseFolder() = 0;
};

// Puts the selected record's file back where it was found.
void RestoreToOriginal(VaultListView& list);
// Puts it into a folder the user picks.
void RestoreToFolder(VaultListView& list);

}  // namespace tolvar
