#include <windows.h>

#include <algorithm>

#include "core/app_error.h"
#include "core/registry_win.h"
#include "quarantine/vault.h"
#include "quarantine/vault_clean_up.h"
#include "quarantine/vault_delete.h"

namespace tolvar {

namespace {

std::int64_t StepsOf(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

}  // namespace

std::uint32_t LoadDeleteAfterDays() {
    try {
        return DeleteAfterDaysFrom(RegistryKey(kVaultSubkey).ReadNamedDword(kDeleteAfterDaysValue));
    } catch (const AppError&) {
        return DeleteAfterDaysFrom(std::nullopt);
    }
}

void StoreDeleteAfterDays(std::uint32_t days) {
    RegistryKey(kVaultSubkey).WriteNamedDword(kDeleteAfterDaysValue, days);
}

std::optional<std::int64_t> CreationTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    // The removal writes a copy once, as it makes it, so both times tell
    // when it was vaulted; the earlier one counts where a file system keeps
    // no creation time of its own (Wine on a Unix file system gives the
    // time of the last change of the file's state instead).
    return std::min(StepsOf(data.ftCreationTime), StepsOf(data.ftLastWriteTime));
}

int CleanUpVault() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return CleanUpVault(StepsOf(now), LoadDeleteAfterDays());
}

int CleanUpVault(std::int64_t now, std::uint32_t days) {
    if (!VaultReadOnlyReason().empty()) return 0;
    int deleted = 0;
    for (const InfectionRecord& record : DueRecords(Vault(), &CreationTimeOf, now, days)) {
        // A record whose copy is held open stays for the next clean-up.
        DeleteVaultRecord(record);
        if (Vault().Find(record) == 0) ++deleted;
    }
    return deleted;
}

}  // namespace tolvar
