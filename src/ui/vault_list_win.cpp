#include "ui/vault_list_win.h"

#include "framework/form_win.h"
#include "framework/list_box_win.h"
#include "quarantine/vault_table.h"
#include "scan/choose_folder.h"

namespace tolvar {

VaultList::VaultList(ListBox& list, Form& owner)
    : chooseFolder([] { return tolvar::ChooseFolder("Select a Folder", 1); }),
      messageBox([&owner](const std::string& text, unsigned flags) {
          return MessageBoxA(owner.handle(), text.c_str(), "Tolvar Antivirus", flags);
      }),
      list_(list) {}

int VaultList::SelectedRow() const {
    return list_.itemIndex();
}

void VaultList::ShowVaultRows(const VaultTable& vault) {
    list_.clear();
    for (int k = 1; k <= vault.Count(); ++k)
        list_.addItem(vault.Record(k).VirusName);
}

bool VaultList::Ask(const std::string& question) {
    return messageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void VaultList::Tell(const std::string& notice) {
    messageBox(notice, MB_OK | MB_ICONWARNING);
}

std::string VaultList::ChooseFolder() {
    return chooseFolder();
}

}  // namespace tolvar
