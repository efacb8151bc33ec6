#pragma once

// The vault of this run: its records in memory and their file
// virus_vault\records.gav.

#include <string>

#include "quarantine/vault_table.h"

namespace tolvar {

VaultTable& Vault();

// DataFolder + "virus_vault\".
std::string VaultFolder();

// Reads the records file when it exists (as far as it goes); the count comes
// from the settings record, brought inside the table.
void LoadVault();
// Writes all 1000 slots, atomically. Throws AppError on failure.
void SaveVault();

}  // namespace tolvar
