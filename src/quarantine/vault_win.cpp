#include "quarantine/vault.h"

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folders.h"
#include "core/settings.h"

namespace tolvar {

namespace {
std::string RecordsPath() {
    return VaultFolder() + "records.gav";
}
}  // namespace

VaultTable& Vault() {
    static VaultTable vault;
    return vault;
}

std::string VaultFolder() {
    return Folders().DataFolder + "virus_vault\\";
}

void LoadVault() {
    if (FileExists(RecordsPath())) {
        const std::vector<std::uint8_t> bytes = ReadWholeFile(RecordsPath());
        Vault().LoadFileImage(bytes.data(), bytes.size());
    }
    // A damaged stored count must never walk past the table.
    Vault().SetCount(Settings().VaultCount());
    Settings().SetVaultCount(Vault().Count());
}

void SaveVault() {
    WriteFileAtomically(RecordsPath(), Vault().FileImage());
}

}  // namespace tolvar
