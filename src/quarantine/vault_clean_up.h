#pragma once

// The vault's automatic clean-up: a vaulted copy older than the number of
// days the user set is deleted, as "Delete from vault" deletes it. The age
// is the copy's creation time, which the removal sets as it makes the copy.
// These rules take the time and the copies' ages as given, so that they run
// (and are tested) without a clock or a file system.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/infection_record.h"

namespace tolvar {

class VaultTable;

// Registry subkey "vault", DWORD value "DeleteAfterDays".
inline constexpr const char* kVaultSubkey = "vault";
inline constexpr const char* kDeleteAfterDaysValue = "DeleteAfterDays";
inline constexpr std::uint32_t kDefaultDeleteAfterDays = 90;
inline constexpr std::uint32_t kMostDeleteAfterDays = 36500;
// Times as the file system keeps them: 100-nanosecond steps.
inline constexpr std::int64_t kTimeStepsPerDay = 864000000000;

// The days a copy is kept: the stored DWORD, or 90 when it is missing, not
// a DWORD (nothing) or above 36500. 0 keeps copies for ever.
std::uint32_t DeleteAfterDaysFrom(std::optional<std::uint32_t> stored);

// The number the settings window's field stores: 0 to 36500 in decimal
// digits, blanks around them allowed. Nothing for any other text, with why
// in words.
std::optional<std::uint32_t> DeleteAfterDaysToStore(std::string_view field, std::string& why);

// Whether a copy made at created is older than days at now. A copy whose
// time cannot be read, or lies ahead of now (a clock set back), is kept.
bool CopyIsDue(std::optional<std::int64_t> created, std::int64_t now, std::uint32_t days);

// The records whose copies are due, in record order; createdAt tells a
// copy's creation time by its vault path.
using CreationTime = std::function<std::optional<std::int64_t>(const std::string& vaultPath)>;
std::vector<InfectionRecord> DueRecords(const VaultTable& vault, const CreationTime& createdAt,
                                        std::int64_t now, std::uint32_t days);

// The Win32 side (vault_clean_up_win.cpp).

// The stored days; a key that cannot be read gives the default.
std::uint32_t LoadDeleteAfterDays();
// Throws AppError when the key cannot be written.
void StoreDeleteAfterDays(std::uint32_t days);
// When the copy at path was vaulted: its creation time, or its last write
// where that is earlier; nothing when neither can be read.
std::optional<std::int64_t> CreationTimeOf(const std::string& path);
// Deletes every record whose copy is older than the stored days, as
// "Delete from vault" does; a copy that cannot be deleted keeps its record
// for the next clean-up. Returns how many records went.
int CleanUpVault();
int CleanUpVault(std::int64_t now, std::uint32_t days);

}  // namespace tolvar
