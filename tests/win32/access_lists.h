#pragma once

// Access lists as the tests set and read them: one opened to everyone, as a
// program without administrator rights would find it, and whether one keeps
// everyone but the program's writers out.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <optional>
#include <string>

#include "core/folder_protection.h"
#include "core/folder_protection_win.h"
#include "core/folders.h"
#include "core/handles_win.h"

namespace tolvar::test {

// Gives path an access list that lets everyone change it (under Wine: the
// file's "others" may write).
inline bool OpenToEveryone(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:(A;OICI;FA;;;WD)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
        return false;
    }
    const LocalMemory held(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
    std::string name = path;
    return SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, list, nullptr) == ERROR_SUCCESS;
}

// Whether an entry lets one of the broad groups (Everyone, Users,
// Authenticated Users) change the object.
inline bool BroadGroupsMayChange(const SecurityView& view) {
    for (const AccessEntry& entry : view.entries) {
        const bool broad =
            entry.sid == "S-1-1-0" || entry.sid == "S-1-5-32-545" || entry.sid == "S-1-5-11";
        if (broad && entry.allows && !entry.inheritOnly && (entry.rights & kChangingRights)) {
            return true;
        }
    }
    return false;
}

// Whether the file or folder at path is closed to everyone but the
// program's writers, as its access list reads back.
inline bool ClosedToOthers(const std::string& path) {
    const std::optional<SecurityView> view = FolderSecurity(path);
    return view && !OthersCanChange(*view, Folders().TrustedWriters) &&
           !BroadGroupsMayChange(*view);
}

}  // namespace tolvar::test
