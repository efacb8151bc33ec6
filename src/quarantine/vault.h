#pragma once

// The vault of this run: its records in memory, their file
// virus_vault\records.gav, and the list of them on the Virus Database page.

#include <string>

#include "quarantine/vault_table.h"

namespace tolvar {

class ListBox;

VaultTable& Vault();

// DataFolder + "virus_vault\".
std::string VaultFolder();

// Reads the records file when it exists (as far as it goes); the count comes
// from the settings record, brought inside the table.
void LoadVault();
// Writes all 1000 slots, atomically. Throws AppError on failure.
void SaveVault();
// One row per record, its detection name as the text.
void RebuildVaultList(ListBox& list);

}  // namespace tolvar
