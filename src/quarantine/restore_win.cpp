#include "quarantine/restore.h"

#include <windows.h>

#include <memory>
#include <optional>

#include "core/app_error.h"
#include "core/named_file_win.h"
#include "core/trusted_files_win.h"
#include "quarantine/allow_list_win.h"
#include "quarantine/file_transfer_win.h"
#include "quarantine/restore_target.h"
#include "quarantine/vault.h"

namespace tolvar {

namespace {

void NotRestored(VaultListView& list, const std::string& why) {
    list.Tell("The file was not restored: " + why + ".");
}

// The program runs elevated and writes where a record says: every check
// comes before the copy, and the record goes only once the file is back.
// True when the file was restored.
bool Restore(VaultListView& list, int k, const std::string& target) {
    const InfectionRecord record = Vault().Record(k);
    if (!IsVaultCopyPath(record.VaultPath)) {
        list.Tell("This record does not point into the vault and was not restored:\n" +
                  record.VaultPath);
        return false;
    }
    std::string problem = RestoreTargetProblem(target);
    if (!problem.empty()) {
        NotRestored(list, target + " is refused: " + problem);
        return false;
    }
    problem = VaultTrustProblem();
    if (!problem.empty()) {
        NotRestored(list, problem);
        return false;
    }

    const NamedFile copy = OpenNamedFile(
        record.VaultPath, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ);
    if (!copy.handle) {
        NotRestored(list, copy.problem);
        return false;
    }
    if (OthersCanChangeFile(copy.handle.get())) {
        NotRestored(
            list, record.VaultPath + " could be changed by programs without administrator rights");
        return false;
    }
    problem = NamedFolderProblem(FolderOf(target));
    if (!problem.empty()) {
        NotRestored(list, problem);
        return false;
    }

    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (!list.Ask(target + " already exists.\nDo you want to replace it?")) return false;
    }
    const CopyResult copied =
        CopyToFile(copy.handle.get(), record.VaultPath, target, Existing::Replace);
    if (!copied.failure.empty()) {
        NotRestored(list, copied.failure);
        return false;
    }

    // The restored file is whole; only now does the vault let go of it.
    auto rest = std::make_unique<VaultTable>(Vault());
    rest->Remove(k);
    try {
        CommitVault(*rest);
    } catch (const std::exception& e) {
        list.Tell("The file was restored to " + target + ", but the vault's records could not " +
                  "be saved (" + e.what() + "); the vault keeps its copy and its record.");
        return true;
    }
    // A copy that cannot be deleted stays in the vault folder without a record.
    DeleteThroughHandle(copy.handle.get());
    list.ShowVaultRows(Vault());
    return true;
}

// The selected records, or none when the vault cannot be changed in this
// run (which is told once, not once for each record).
std::vector<InfectionRecord> RecordsToRestore(VaultListView& list) {
    std::vector<InfectionRecord> records = RecordsOfRows(list.SelectedRows());
    if (!records.empty() && !VaultReadOnlyReason().empty()) {
        list.Tell("The quarantine vault is read-only in this run: " + VaultReadOnlyReason() +
                  ". Nothing was restored.");
        return {};
    }
    return records;
}

}  // namespace

void RestoreToOriginal(VaultListView& list) {
    for (const InfectionRecord& record : RecordsToRestore(list)) {
        const int k = Vault().Find(record);
        if (k != 0) Restore(list, k, record.FilePath);
    }
}

void RestoreToFolder(VaultListView& list) {
    const std::vector<InfectionRecord> records = RecordsToRestore(list);
    if (records.empty()) return;
    std::string folder = list.ChooseFolder();
    if (folder.empty()) return;
    if (folder.back() != '\\') folder += '\\';
    for (const InfectionRecord& record : records) {
        const int k = Vault().Find(record);
        if (k != 0) Restore(list, k, folder + FileNamePart(record.FilePath));
    }
}

void RestoreAndAllow(VaultListView& list, const std::string& databaseFolder,
                     const std::function<void()>& allowed) {
    bool anyAllowed = false;
    for (const InfectionRecord& record : RecordsToRestore(list)) {
        const int k = Vault().Find(record);
        if (k == 0) continue;
        // The content is taken from the vault's own copy, before the restore
        // lets go of it: what is allowed is exactly what was vaulted.
        std::optional<AllowedFile> entry;
        if (IsVaultCopyPath(record.VaultPath)) {
            try {
                entry = AllowedFileOf(record.VaultPath, FileNamePart(record.FilePath));
            } catch (const AppError& e) {
                NotRestored(list, e.what());
                continue;
            }
        }
        if (!Restore(list, k, record.FilePath) || !entry) continue;
        try {
            AllowFile(databaseFolder, *entry);
            anyAllowed = true;
        } catch (const AppError& e) {
            list.Tell("The file was restored to " + record.FilePath +
                      ", but it could not be added to the allowed files (" + e.what() +
                      "); scans may find it again.");
        }
    }
    if (anyAllowed && allowed) allowed();
}

}  // namespace tolvar
