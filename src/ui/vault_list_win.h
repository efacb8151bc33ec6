#pragma once

// The vault list of the Virus Database page as the restore commands see it:
// edtVirusDB, a message box, and the shell's folder picker.

#include <functional>
#include <string>

#include "quarantine/restore.h"

namespace tolvar {

class ListBox;
class Form;

class VaultList : public VaultListView {
public:
    VaultList(ListBox& list, Form& owner);

    int SelectedRow() const override;
    void ShowVaultRows(const VaultTable& vault) override;
    bool Ask(const std::string& question) override;
    void Tell(const std::string& notice) override;
    std::string ChooseFolder() override;

    // The folder picker and the message box; tests replace them.
    std::function<std::string()> chooseFolder;
    std::function<int(const std::string& text, unsigned flags)> messageBox;

private:
    ListBox& list_;
};

}  // namespace tolvar
