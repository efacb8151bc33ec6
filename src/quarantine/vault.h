#pragma once

// The vault of this run: its records in memory, their file
// virus_vault\records.gav, and who may change them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quarantine/vault_table.h"

namespace tolvar {

VaultTable& Vault();

// DataFolder + "virus_vault\".
std::string VaultFolder();
// VaultFolder() + "records.gav".
std::string VaultRecordsPath();

// Makes the vault ready for the run and reads its records, in this order:
// - the records file is looked at as it was found, before anything here
//   changes the folder;
// - the vault folder is created owned by the Administrators, with an access
//   list of its own that lets only them and SYSTEM change it, or it is given
//   that owner and list when it lets anyone else change it;
// - a records file that others could change is not trusted: it is set
//   aside whole, renamed with the date, and the vault starts with no
//   records (VaultStartNotice() tells why);
// - a records file that exists but cannot be read makes the vault
//   read-only for the run (VaultReadOnlyReason()), so nothing overwrites
//   the records it holds;
// - a records file of the wrong length is read as far as it goes, and is set
//   aside, renamed with the date, before a new one is first written;
// - without a records file the vault is empty.
// storedCount is the count the settings record holds, when it was read
// whole; without it the records file alone tells which slots are records
// (VaultTable::LoadFileImage), so a lost or short settings record never
// empties the vault, nor has the next removal write over its first record.
void LoadVault(std::optional<std::int32_t> storedCount);

// Creates the vault folder, owned by the Administrators with an access list
// of its own that lets only them and SYSTEM change it, when nothing is in
// its place (the setup makes it so before the first start). A vault already
// there is left as it is: LoadVault looks at its records as it found them
// before it mends the folder's list. Returns why the vault folder cannot be
// used afterwards (missing, not a folder, reached through a link); "" when
// it can.
std::string MakeVaultFolder();

// Why the vault cannot be changed in this run; "" when it can.
const std::string& VaultReadOnlyReason();
// What the start has to tell the user about the vault; "" for nothing.
const std::string& VaultStartNotice();

// Why a removal cannot put anything into the vault now (the run is
// read-only, or the vault folder is missing, not a folder or reached through
// a link); "" when it can.
std::string VaultUnusableReason();
// Why a restore cannot trust the vault now: the folder or the records file
// could be changed by others; "" when it can.
std::string VaultTrustProblem();

// Whether path names a file right in the vault folder, as a record's
// VaultPath must before anything acts on it, whatever the record says.
bool IsVaultCopyPath(const std::string& path);

// The records of the selected rows (rows counted from 0, those past the
// vault's records left out), in row order.
std::vector<InfectionRecord> RecordsOfRows(const std::vector<int>& rows);

// Stores table as the vault's records: the records file, then the copy of
// its count in the settings record, each replaced whole in one step; only
// then is table the vault in memory. Throws AppError, with the vault in
// memory and in the settings record as before, when the vault is read-only
// or a write fails.
void CommitVault(const VaultTable& table);

}  // namespace tolvar
