#pragma once

// The program's persisted settings: one 808-byte record kept in the registry
// and stored byte for byte, so the bytes are the truth and the accessors only
// translate fields at fixed offsets. Integers and the date are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

// How often the update page looks for a new database.
enum class UpdateSchedule : std::uint8_t {
    Daily = 0,
    Weekly = 1,
    Monthly = 2,
    IntervalsOf = 3,
    NeverCheck = 4,
};

// What happens when a check finds a newer database.
enum class FoundUpdateAction : std::uint8_t {
    AskToDownload = 0,
    DownloadAutomatically = 1,
};

class SettingsRecord {
public:
    static constexpr std::size_t kSize = 808;
    static constexpr std::size_t kProxyTextCapacity = 255;
    static constexpr std::size_t kProxyPortCapacity = 10;

    using Storage = std::array<std::uint8_t, kSize>;

    SettingsRecord() = default;  // all zero: empty texts, no proxy, Daily, date 0.0

    std::string ProxyUser() const;
    void SetProxyUser(std::string_view text);  // cut to 255 characters
    std::string ProxyPassword() const;
    void SetProxyPassword(std::string_view text);  // cut to 255 characters
    std::string ProxyServer() const;
    void SetProxyServer(std::string_view text);  // cut to 255 characters
    std::string ProxyPort() const;
    void SetProxyPort(std::string_view text);  // cut to 10 characters

    // Any non-zero byte reads as true; true is written as 1.
    bool UseProxy() const;
    void SetUseProxy(bool use);

    std::uint8_t IntervalDays() const;
    void SetIntervalDays(std::uint8_t days);

    // A damaged byte outside the named values comes back as it is stored.
    UpdateSchedule CheckSchedule() const;
    void SetCheckSchedule(UpdateSchedule schedule);
    FoundUpdateAction FoundAction() const;
    void SetFoundAction(FoundUpdateAction action);

    // A copy of the vault's count (VaultTable::Count()) for earlier builds,
    // and for the next start when the records file alone cannot tell: only
    // the vault writes it, as its records file reaches the disk.
    std::int32_t StoredVaultCount() const;
    void SetStoredVaultCount(std::int32_t count);
    std::int32_t TotalUpdates() const;
    void SetTotalUpdates(std::int32_t count);

    // Date serial: days since 30 December 1899, fraction = time of day.
    double LastUpdateDate() const;
    void SetLastUpdateDate(double serial);

    std::int32_t LastUpdateSize() const;
    void SetLastUpdateSize(std::int32_t bytes);

    const Storage& Bytes() const { return bytes_; }
    Storage& MutableBytes() { return bytes_; }

private:
    Storage bytes_{};
};

static_assert(sizeof(SettingsRecord) == SettingsRecord::kSize);

}  // namespace tolvar
