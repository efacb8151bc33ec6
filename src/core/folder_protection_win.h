#pragma once

// The data folder's access lists through the system's security functions.

#include <windows.h>

#include <optional>
#include <string>

#include "core/folder_protection.h"

namespace tolvar {

// The owner and access list of an open file or folder (opened with
// READ_CONTROL); nothing when the system cannot tell.
std::optional<SecurityView> SecurityOf(HANDLE object);
// The same for a folder by its path.
std::optional<SecurityView> FolderSecurity(const std::string& folder);

// What a protected folder is for: the vault's list also denies Everyone
// the running of the files it will hold (an entry only files inherit, so
// the folder itself stays open to be listed and passed through).
enum class FolderUse { Data, Vault };

// Creates the folder owned by the Administrators with an access list of its
// own (nothing inherited from the folder above) that gives the
// Administrators and SYSTEM full control, inherited by all it will hold.
bool CreateProtectedFolder(const std::string& folder, FolderUse use = FolderUse::Data);
// Gives an existing folder that owner and that access list. What the folder
// already holds keeps the list it has: a file that was open to others while
// the folder was stays so, and is judged by its own list, never made to
// look protected by its folder's repair. Files and folders made in it later
// inherit the new list. True when the system took it.
bool ProtectFolder(const std::string& folder, FolderUse use = FolderUse::Data);

// The owner and access list a protected folder is given, as the system
// reads them from the descriptor the program hands it.
std::optional<SecurityView> ProtectedFolderList(FolderUse use);

// The SID of the user this program runs as; "" when it cannot be told.
std::string CurrentUserSid();

}  // namespace tolvar
