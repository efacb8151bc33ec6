#pragma once

// Deleting from the vault: the user's "Delete from vault" and the automatic
// clean-up. A record goes from the records file before its copy goes from
// the folder, so that no copy is ever deleted while the disk still lists
// it; a copy that something holds open (so that it could not be deleted) is
// found before, and keeps its record, so that the user can try again.

#include <string>

#include "core/infection_record.h"

namespace tolvar {

class VaultListView;

// Deletes the record equal to record, and its copy. Returns what went
// wrong, naming the copy; "" when the record and its copy are gone (or were
// gone already). A record whose copy is missing is removed; a record that
// names a file outside the vault is removed and that file left alone.
std::string DeleteVaultRecord(const InfectionRecord& record);

// Asks "Delete N file(s) from the vault for good?" and deletes each selected
// record and its copy; what could not be deleted is told.
void DeleteFromVault(VaultListView& list);

}  // namespace tolvar
