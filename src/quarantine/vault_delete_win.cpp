#include "quarantine/vault_delete.h"

#include <windows.h>

#include <memory>

#include "core/named_file_win.h"
#include "quarantine/restore.h"
#include "quarantine/vault.h"

namespace tolvar {

namespace {

// Stores the vault without record k; "" when it is stored.
std::string CommitWithout(int k) {
    auto rest = std::make_unique<VaultTable>(Vault());
    rest->Remove(k);
    try {
        CommitVault(*rest);
    } catch (const std::exception& e) {
        return std::string("the vault's records could not be saved (") + e.what() + ")";
    }
    return "";
}

}  // namespace

std::string DeleteVaultRecord(const InfectionRecord& record) {
    const int k = Vault().Find(record);
    if (k == 0) return "";
    if (!VaultReadOnlyReason().empty()) {
        return record.VaultPath + ": the quarantine vault is read-only in this run (" +
               VaultReadOnlyReason() + ")";
    }
    if (!IsVaultCopyPath(record.VaultPath)) {
        // An edited record: the file it names is none of the vault's to
        // delete, but the record itself may go.
        const std::string problem = CommitWithout(k);
        return record.VaultPath + (problem.empty()
                                       ? " is not in the vault: its record was removed and the "
                                         "file left alone"
                                       : ": " + problem);
    }
    if (!NamedFolderProblem(VaultFolder()).empty()) {
        return record.VaultPath + ": the vault folder is missing or not a folder";
    }
    // Opened for deletion first: a copy that something holds open without
    // letting it be deleted is found now, while its record is still there.
    const NamedFile copy =
        OpenNamedFile(record.VaultPath, DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ);
    const bool gone =
        !copy.handle && (copy.error == ERROR_FILE_NOT_FOUND || copy.error == ERROR_PATH_NOT_FOUND);
    if (!copy.handle && !gone) {
        return record.VaultPath + " could not be deleted (" + copy.problem +
               "); it keeps its record";
    }
    const std::string problem = CommitWithout(k);
    if (!problem.empty()) return record.VaultPath + " was not deleted: " + problem;
    if (copy.handle && !DeleteThroughHandle(copy.handle.get())) {
        return record.VaultPath + " could not be deleted; its record was removed";
    }
    return "";
}

void DeleteFromVault(VaultListView& list) {
    const std::vector<InfectionRecord> records = RecordsOfRows(list.SelectedRows());
    if (records.empty()) return;
    if (!list.Ask("Delete " + std::to_string(records.size()) +
                  " file(s) from the vault for good?")) {
        return;
    }
    std::string problems;
    for (const InfectionRecord& record : records) {
        const std::string problem = DeleteVaultRecord(record);
        if (!problem.empty()) problems += "\n" + problem;
    }
    list.ShowVaultRows(Vault());
    if (!problems.empty()) {
        list.Tell("Not everything could be deleted from the vault:" + problems);
    }
}

}  // namespace tolvar
