#include "quarantine/restore.h"

#include <windows.h>

#include "core/settings.h"
#include "quarantine/file_transfer.h"
#include "quarantine/vault.h"

namespace tolvar {

namespace {

// The records file lies in a folder that unelevated programs may write, and
// this program runs elevated: a planted record must not make it copy an
// arbitrary file anywhere.
bool InsideVault(const std::string& path) {
    const std::string folder = VaultFolder();
    if (path.size() <= folder.size()) return false;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                       static_cast<int>(folder.size()), folder.c_str(),
                       static_cast<int>(folder.size())) != CSTR_EQUAL) {
        return false;
    }
    const std::string rest = path.substr(folder.size());
    return rest.find('\\') == std::string::npos && rest.find('/') == std::string::npos &&
           rest.find(':') == std::string::npos && rest != "." && rest != "..";
}

void Restore(VaultListView& list, int k, const std::string& target) {
    const InfectionRecord record = Vault().Record(k);
    if (!InsideVault(record.VaultPath)) {
        list.Tell("This record does not point into the vault and was not restored:\n" +
                  record.VaultPath);
        return;
    }
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::string question = target + " already exists.\nDo you want to replace it?";
        if (!list.Ask(question)) return;
    }
    const std::string failure = CopyFileWhole(record.VaultPath, target, Existing::Replace);
    if (!failure.empty()) {
        list.Tell("The file was not restored: " + failure + ".");
        return;
    }
    // The restored file is whole; only now does the vault let go of it.
    DeleteFileA(record.VaultPath.c_str());
    Vault().Remove(k);
    list.ShowVaultRows(Vault());
    try {
        SaveVault();
        Settings().SetVaultCount(Vault().Count());
        SaveSettings();
    } catch (const std::exception&) {
        // The table in memory is right; it is stored again with the next change.
    }
}

int SelectedRecord(const VaultListView& list) {
    const int row = list.SelectedRow();
    if (row < 0 || row >= Vault().Count()) return 0;
    return row + 1;
}

}  // namespace

void RestoreToOriginal(VaultListView& list) {
    const int k = SelectedRecord(list);
    if (k == 0) return;
    Restore(list, k, Vault().Record(k).FilePath);
}

void RestoreToFolder(VaultListView& list) {
    const int k = SelectedRecord(list);
    if (k == 0) return;
    std::string folder = list.ChooseFolder();
    if (folder.empty()) return;
    if (folder.back() != '\\') folder += '\\';
    Restore(list, k, folder + FileNamePart(Vault().Record(k).FilePath));
}

}  // namespace tolvar
