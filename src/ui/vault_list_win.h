#pragma once

// The vault list of the Virus Database page as its commands see it:
// edtVirusDB with its rows drawn, a message box, and the shell's folder
// picker.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "quarantine/restore.h"

namespace tolvar {

class ListBox;
class Form;
struct ListRow;
struct InfectionRecord;

class VaultList : public VaultListView {
public:
    VaultList(ListBox& list, Form& owner);

    std::vector<int> SelectedRows() const override;
    void ShowVaultRows(const VaultTable& vault) override;
    bool Ask(const std::string& question) override;
    void Tell(const std::string& notice) override;
    std::string ChooseFolder() override;

    // Draws one row: the detection name, the path, and where the row has
    // room the date the copy was vaulted; a selected row in the system's
    // selection colours.
    void DrawRow(HDC dc, const ListRow& row) const;

    // The commands of the buttons under the list.
    void RestoreToOriginal();
    void RestoreToFolder();
    void RestoreAndAllow();
    void DeleteFromVault();

    // The folder picker and the message box; tests replace them.
    std::function<std::string()> chooseFolder;
    std::function<int(const std::string& text, unsigned flags)> messageBox;
    // Runs after "Restore and allow" changed the allow list: the program
    // has its loaded engine read the list again.
    std::function<void()> allowListChanged;

private:
    ListBox& list_;
};

// The date the copy at vaultPath was vaulted (as the clean-up counts it) in
// the user's short date format; "" when it cannot be read.
std::string VaultedDateOf(const std::string& vaultPath);

}  // namespace tolvar
