#include "quarantine/vault.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folder_protection_win.h"
#include "core/folders.h"
#include "core/handles_win.h"
#include "core/named_file_win.h"
#include "core/path_compare.h"
#include "core/settings.h"
#include "core/system_error_win.h"
#include "core/trusted_files_win.h"

namespace tolvar {

namespace {

// What the start found out about the vault, for the rest of the run.
struct VaultState {
    std::string readOnly;
    // The records file is damaged and is kept, set aside, when a new one is
    // written.
    bool setAsideOnWrite = false;
    std::string startNotice;
};

VaultState& State() {
    static VaultState state;
    return state;
}

// The records file as it was found at the start.
struct FoundRecords {
    bool exists = false;
    std::string unreadable;  // why it could not be read; "" when it was
    bool reachedAsNamed = true;
    std::optional<SecurityView> security;
    std::vector<std::uint8_t> bytes;
};

FoundRecords ReadRecordsFile() {
    FoundRecords found;
    const std::string path = VaultRecordsPath();
    NamedFile file = OpenNamedFile(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ);
    if (!file.handle) {
        if (file.error == ERROR_FILE_NOT_FOUND || file.error == ERROR_PATH_NOT_FOUND) return found;
        found.exists = true;
        if (file.error == 0) {
            // Opened, but a link or a folder: not a records file of ours.
            found.reachedAsNamed = false;
            return found;
        }
        found.unreadable = SystemErrorText(file.error);
        return found;
    }
    found.exists = true;
    found.security = SecurityOf(file.handle.get());
    // One byte more than a whole file tells a longer file from a whole one.
    found.bytes.resize(kVaultFileBytes + 1);
    std::size_t got = 0;
    while (got < found.bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file.handle.get(), found.bytes.data() + got,
                      static_cast<DWORD>(found.bytes.size() - got), &n, nullptr)) {
            found.unreadable = SystemErrorText(GetLastError());
            return found;
        }
        if (n == 0) break;
        got += n;
    }
    found.bytes.resize(got);
    return found;
}

bool OthersCanChangeFound(const FoundRecords& found) {
    return !found.reachedAsNamed || !found.security ||
           OthersCanChange(*found.security, Folders().TrustedWriters);
}

// Creates the vault folder protected, or protects it when others could
// change it. Who may write it is what the data folder it lies in told.
void SecureVaultFolder() {
    // Something else in the folder's place (a file, a junction): the removal
    // and the restore refuse it, and it is not given the vault's list.
    if (!MakeVaultFolder().empty()) return;
    const std::string folder = VaultFolder();
    const std::optional<SecurityView> view = FolderSecurity(folder);
    // A vault made by an earlier build lets its copies run: it is given the
    // vault's list, which the copies made from now on inherit.
    if (view && (OthersCanChange(*view, Folders().TrustedWriters) || !DeniesRunningFiles(*view))) {
        ProtectFolder(folder, FolderUse::Vault);
    }
}

// Renames the records file to "records.gav.<why>-<date and time>", a name
// the vault never gives a copy. Returns the new name; "" when it could not
// be renamed.
std::string SetRecordsAside(const std::string& why) {
    return SetFileAside(VaultRecordsPath(), why);
}

}  // namespace

VaultTable& Vault() {
    static VaultTable vault;
    return vault;
}

std::string VaultFolder() {
    return Folders().DataFolder + kVaultFolderName;
}

std::string VaultRecordsPath() {
    return VaultFolder() + "records.gav";
}

std::string MakeVaultFolder() {
    const std::string folder = VaultFolder();
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        CreateProtectedFolder(folder, FolderUse::Vault);
    }
    return NamedFolderProblem(folder);
}

void LoadVault(std::optional<std::int32_t> storedCount) {
    State() = VaultState{};
    Vault().LoadFileImage(nullptr, 0);

    const FoundRecords found = ReadRecordsFile();
    SecureVaultFolder();

    // The settings record keeps a copy of the count of the records file on
    // the disk, for earlier builds and for the next start.
    if (!found.exists) {
        Settings().SetStoredVaultCount(0);
        return;
    }
    if (!found.unreadable.empty()) {
        // The records file stays as it is, and so does the copy of its count.
        State().readOnly = "its records file " + VaultRecordsPath() + " could not be read (" +
                           found.unreadable + ")";
        return;
    }
    if (OthersCanChangeFound(found)) {
        const std::string aside = SetRecordsAside("unprotected");
        if (aside.empty()) {
            State().readOnly = "its records file " + VaultRecordsPath() +
                               " could be changed by programs without administrator rights "
                               "and could not be set aside";
            return;
        }
        State().startNotice =
            "The quarantine vault's records file could be changed by programs without "
            "administrator rights, so this program no longer acts on it. It was kept as " +
            aside +
            ", the vaulted files stay in the vault folder, and the vault list starts "
            "empty.";
        Settings().SetStoredVaultCount(0);
        return;
    }
    Vault().LoadFileImage(found.bytes.data(), found.bytes.size(), storedCount, &FileExists);
    State().setAsideOnWrite = found.bytes.size() != kVaultFileBytes;
    Settings().SetStoredVaultCount(Vault().Count());
}

const std::string& VaultReadOnlyReason() {
    return State().readOnly;
}

const std::string& VaultStartNotice() {
    return State().startNotice;
}

std::string VaultUnusableReason() {
    if (!State().readOnly.empty()) {
        return "The quarantine vault is read-only in this run: " + State().readOnly +
               ". Nothing was removed.";
    }
    if (!NamedFolderProblem(VaultFolder()).empty()) {
        return "The quarantine vault folder is missing or not a folder; nothing was removed.";
    }
    return "";
}

std::string VaultTrustProblem() {
    const std::string folder = VaultFolder();
    const std::string problem = NamedFolderProblem(folder);
    if (!problem.empty()) return "the vault folder cannot be used: " + problem;
    const std::optional<SecurityView> view = FolderSecurity(folder);
    if (!view || OthersCanChange(*view, Folders().TrustedWriters)) {
        return "the vault folder " + folder +
               " could be changed by programs without administrator rights";
    }
    const FoundRecords found = ReadRecordsFile();
    if (found.exists && OthersCanChangeFound(found)) {
        return "the vault's records file " + VaultRecordsPath() +
               " could be changed by programs without administrator rights";
    }
    return "";
}

bool IsVaultCopyPath(const std::string& path) {
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

std::vector<InfectionRecord> RecordsOfRows(const std::vector<int>& rows) {
    std::vector<InfectionRecord> records;
    for (int row : rows) {
        if (row >= 0 && row < Vault().Count()) records.push_back(Vault().Record(row + 1));
    }
    return records;
}

void CommitVault(const VaultTable& table) {
    if (!State().readOnly.empty()) {
        throw AppError("The quarantine vault is read-only in this run: " + State().readOnly);
    }
    if (State().setAsideOnWrite && FileExists(VaultRecordsPath())) {
        if (SetRecordsAside("damaged").empty()) {
            throw AppError("The damaged records file " + VaultRecordsPath() +
                           " could not be set aside");
        }
    }
    State().setAsideOnWrite = false;
    WriteFileAtomically(VaultRecordsPath(), table.FileImage());
    const std::int32_t stored = Settings().StoredVaultCount();
    Settings().SetStoredVaultCount(table.Count());
    try {
        SaveSettings();
    } catch (...) {
        // The stored count still goes with the old records.
        Settings().SetStoredVaultCount(stored);
        try {
            WriteFileAtomically(VaultRecordsPath(), Vault().FileImage());
        } catch (const AppError&) {
        }
        throw;
    }
    Vault() = table;
}

}  // namespace tolvar
