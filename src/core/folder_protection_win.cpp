#include "core/folder_protection_win.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "core/handles_win.h"

namespace tolvar {

namespace {

// A protected list (nothing inherited from above): Administrators and
// SYSTEM, full control, inherited by files and folders.
constexpr const char* kProtectedList = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
// The vault's: the same, and Everyone may not run the files it holds. A deny
// entry comes first, as the system orders them.
constexpr const char* kVaultList = "D:P(D;OIIO;FX;;;WD)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
// The Administrators as owner.
constexpr const char* kProtectedOwner = "O:BA";

std::string SidText(PSID sid) {
    if (!sid) return "";
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return "";
    const LocalMemory owner(text);
    return text;
}

SecurityView ViewOf(PSID owner, PACL list) {
    SecurityView view;
    view.owner = SidText(owner);
    view.hasAccessList = list != nullptr;
    for (DWORD i = 0; list && i < list->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(list, i, &raw)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        AccessEntry entry;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        entry.toFiles = (header->AceFlags & OBJECT_INHERIT_ACE) != 0;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
            entry.rights = ace->Mask;
            entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            const auto* ace = static_cast<const ACCESS_DENIED_ACE*>(raw);
            entry.allows = false;
            entry.rights = ace->Mask;
            entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
        } else {
            // An entry of a kind not read here (object or callback entries)
            // counts as letting anyone change everything.
            entry.rights = kChangingRights;
        }
        view.entries.push_back(entry);
    }
    return view;
}

LocalMemory Descriptor(const std::string& text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor,
                                                         nullptr);
    return LocalMemory(descriptor);
}

const char* ListFor(FolderUse use) {
    return use == FolderUse::Vault ? kVaultList : kProtectedList;
}

LocalMemory ProtectedDescriptor(FolderUse use) {
    return Descriptor(std::string(kProtectedOwner) + ListFor(use));
}

}  // namespace

std::optional<SecurityView> SecurityOf(HANDLE object) {
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LocalMemory held(descriptor);
    return ViewOf(owner, list);
}

std::optional<SecurityView> FolderSecurity(const std::string& folder) {
    const UniqueHandle handle(
        CreateFileA(folder.c_str(), READ_CONTROL,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return std::nullopt;
    return SecurityOf(handle.get());
}

bool CreateProtectedFolder(const std::string& folder, FolderUse use) {
    const LocalMemory descriptor = ProtectedDescriptor(use);
    if (!descriptor) return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    if (CreateDirectoryA(folder.c_str(), &attributes)) return true;
    if (GetLastError() != ERROR_INVALID_OWNER) return false;
    // Without administrator rights the Administrators cannot be made the
    // owner; the list still keeps everyone else out.
    const LocalMemory listOnly = Descriptor(ListFor(use));
    if (!listOnly) return false;
    attributes.lpSecurityDescriptor = listOnly.get();
    return CreateDirectoryA(folder.c_str(), &attributes) != FALSE;
}

bool ProtectFolder(const std::string& folder, FolderUse use) {
    const LocalMemory descriptor = ProtectedDescriptor(use);
    if (!descriptor) return false;
    // Not SetNamedSecurityInfo: it would hand the new list down to what the
    // folder holds, and a file that others could change until now would
    // then look as safe as one this program wrote.
    return SetFileSecurityA(folder.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            descriptor.get()) != FALSE;
}

std::optional<SecurityView> ProtectedFolderList(FolderUse use) {
    const LocalMemory descriptor = ProtectedDescriptor(use);
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL present = FALSE;
    PACL list = nullptr;
    BOOL listDefaulted = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor.get(), &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &listDefaulted)) {
        return std::nullopt;
    }
    return ViewOf(owner, present ? list : nullptr);
}

std::string CurrentUserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return "";
    const UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return "";
    }
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

}  // namespace tolvar
