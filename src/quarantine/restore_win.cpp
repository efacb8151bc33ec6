#include "quarantine/restore.h"

#include <windows.h>

#include <memory>

#include "core/named_file_win.h"
#include "core/path_compare.h"
#include "core/trusted_files_win.h"
#include "quarantine/file_transfer_win.h"
#include "quarantine/restore_target.h"
#include "quarantine/vault.h"

namespace tolvar {

namespace {

// A record names the copy it restores: that copy must be a file right in the
// vault folder, whatever the record says.
bool InsideVault(const std::string& path) {
    const std::string folder = ComparablePath(VaultFolder());
    const std::string comparable = ComparablePath(path);
    if (path.empty() || path.back() == '\\' || !LiesInside(comparable, folder) ||
        comparable.size() <= folder.size() + 1) {
        return false;
    }
    const std::string rest = comparable.substr(folder.size() + 1);
    return rest.find('\\') == std::string::npos && rest.find('/') == std::string::npos &&
           rest.find(':') == std::string::npos && rest != "." && rest != "..";
}

void NotRestored(VaultListView& list, const std::string& why) {
    list.Tell("The file was not restored: " + why + ".");
}

// The program runs elevated and writes where a record says: every check
// comes before the copy, and the record goes only once the file is back.
void Restore(VaultListView& list, int k, const std::string& target) {
    if (!VaultReadOnlyReason().empty()) {
        list.Tell("The quarantine vault is read-only in this run: " + VaultReadOnlyReason() +
                  ". Nothing was restored.");
        return;
    }
    const InfectionRecord record = Vault().Record(k);
    if (!InsideVault(record.VaultPath)) {
        list.Tell("This record does not point into the vault and was not restored:\n" +
                  record.VaultPath);
        return;
    }
    std::string problem = RestoreTargetProblem(target);
    if (!problem.empty()) return NotRestored(list, target + " is refused: " + problem);
    problem = VaultTrustProblem();
    if (!problem.empty()) return NotRestored(list, problem);

    const NamedFile copy = OpenNamedFile(
        record.VaultPath, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ);
    if (!copy.handle) return NotRestored(list, copy.problem);
    if (OthersCanChangeFile(copy.handle.get())) {
        return NotRestored(
            list, record.VaultPath + " could be changed by programs without administrator rights");
    }
    problem = NamedFolderProblem(FolderOf(target));
    if (!problem.empty()) return NotRestored(list, problem);

    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (!list.Ask(target + " already exists.\nDo you want to replace it?")) return;
    }
    const CopyResult copied =
        CopyToFile(copy.handle.get(), record.VaultPath, target, Existing::Replace);
    if (!copied.failure.empty()) return NotRestored(list, copied.failure);

    // The restored file is whole; only now does the vault let go of it.
    auto rest = std::make_unique<VaultTable>(Vault());
    rest->Remove(k);
    try {
        CommitVault(*rest);
    } catch (const std::exception& e) {
        list.Tell("The file was restored to " + target + ", but the vault's records could not " +
                  "be saved (" + e.what() + "); the vault keeps its copy and its record.");
        return;
    }
    // A copy that cannot be deleted stays in the vault folder without a record.
    DeleteThroughHandle(copy.handle.get());
    list.ShowVaultRows(Vault());
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
