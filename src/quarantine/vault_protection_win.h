#pragma once

// The vault's access lists through the system's security functions.

#include <windows.h>

#include <optional>
#include <string>

#include "quarantine/vault_protection.h"

namespace tolvar {

// The owner and access list of an open file or folder (opened with
// READ_CONTROL); nothing when the system cannot tell.
std::optional<SecurityView> SecurityOf(HANDLE object);
// The same for a folder by its path.
std::optional<SecurityView> FolderSecurity(const std::string& folder);

// Creates the folder owned by the Administrators with an access list of its
// own (nothing inherited from the folder above) that gives the
// Administrators and SYSTEM full control, inherited by all it will hold.
bool CreateProtectedFolder(const std::string& folder);
// Gives an existing folder that owner and that access list; the files and
// folders in it inherit the new list. True when the system took it.
bool ProtectFolder(const std::string& folder);

// The SID of the user this program runs as; "" when it cannot be told.
std::string CurrentUserSid();

}  // namespace tolvar
