#include "quarantine/restore.h"

#include <windows.h>

#include "core/settings.h"
#include "quarantine/file_transfer.h"
#include "quarantine/vault.h"
#include "scan/choose_folder.h"
#include "ui/main_form_win.h"

namespace tolvar {

namespace {

void Tell(TForm1& form, const std::string& text) {
    form.messageBox(text, MB_OK | MB_ICONWARNING);
}

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

void Restore(TForm1& form, int k, const std::string& target) {
    const InfectionRecord record = Vault().Record(k);
    if (!InsideVault(record.VaultPath)) {
        Tell(form, "This record does not point into the vault and was not restored:\n" +
                       record.VaultPath);
        return;
    }
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::string question = target + " already exists.\nDo you want to replace it?";
        if (form.messageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return;
        }
    }
    const std::string failure = CopyFileWhole(record.VaultPath, target, Existing::Replace);
    if (!failure.empty()) {
        Tell(form, "The file was not restored: " + failure + ".");
        return;
    }
    // The restored file is whole; only now does the vault let go of it.
    DeleteFileA(record.VaultPath.c_str());
    Vault().Remove(k);
    RebuildVaultList(form.edtVirusDB);
    try {
        SaveVault();
        Settings().SetVaultCount(Vault().Count());
        SaveSettings();
    } catch (const std::exception&) {
        // The table in memory is right; it is stored again with the next change.
    }
}

int SelectedRecord(TForm1& form) {
    const int row = form.edtVirusDB.itemIndex();
    if (row < 0 || row >= Vault().Count()) return 0;
    return row + 1;
}

}  // namespace

void RestoreToOriginal(TForm1& form) {
    const int k = SelectedRecord(form);
    if (k == 0) return;
    Restore(form, k, Vault().Record(k).FilePath);
}

void RestoreToFolder(TForm1& form) {
    const int k = SelectedRecord(form);
    if (k == 0) return;
    std::string folder = form.chooseFolder();
    if (folder.empty()) return;
    if (folder.back() != '\\') folder += '\\';
    Restore(form, k, folder + FileNamePart(Vault().Record(k).FilePath));
}

}  // namespace tolvar
