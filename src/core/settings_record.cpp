#include "core/settings_record.h"

#include <bit>
#include <limits>

#include "core/little_endian.h"
#include "core/short_string.h"

namespace tolvar {

namespace {

// The stored date is the 8 bytes of an IEEE-754 double; only such a double
// can be moved through its bit pattern unchanged.
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);

constexpr std::size_t kProxyUser = 0;
constexpr std::size_t kProxyPassword = 256;
constexpr std::size_t kProxyServer = 512;
constexpr std::size_t kProxyPort = 768;
constexpr std::size_t kUseProxy = 779;
constexpr std::size_t kIntervalDays = 780;
constexpr std::size_t kCheckSchedule = 781;
constexpr std::size_t kFoundAction = 782;
constexpr std::size_t kVaultCount = 784;
constexpr std::size_t kTotalUpdates = 788;
constexpr std::size_t kLastUpdateDate = 792;
constexpr std::size_t kLastUpdateSize = 800;

}  // namespace

std::string SettingsRecord::ProxyUser() const {
    return ReadShortString(&bytes_[kProxyUser], kProxyTextCapacity);
}
void SettingsRecord::SetProxyUser(std::string_view text) {
    WriteShortString(&bytes_[kProxyUser], kProxyTextCapacity, text);
}

std::string SettingsRecord::ProxyPassword() const {
    return ReadShortString(&bytes_[kProxyPassword], kProxyTextCapacity);
}
void SettingsRecord::SetProxyPassword(std::string_view text) {
    WriteShortString(&bytes_[kProxyPassword], kProxyTextCapacity, text);
}

std::string SettingsRecord::ProxyServer() const {
    return ReadShortString(&bytes_[kProxyServer], kProxyTextCapacity);
}
void SettingsRecord::SetProxyServer(std::string_view text) {
    WriteShortString(&bytes_[kProxyServer], kProxyTextCapacity, text);
}

std::string SettingsRecord::ProxyPort() const {
    return ReadShortString(&bytes_[kProxyPort], kProxyPortCapacity);
}
void SettingsRecord::SetProxyPort(std::string_view text) {
    WriteShortString(&bytes_[kProxyPort], kProxyPortCapacity, text);
}

bool SettingsRecord::UseProxy() const {
    return bytes_[kUseProxy] != 0;
}
void SettingsRecord::SetUseProxy(bool use) {
    bytes_[kUseProxy] = use ? 1 : 0;
}

std::uint8_t SettingsRecord::IntervalDays() const {
    return bytes_[kIntervalDays];
}
void SettingsRecord::SetIntervalDays(std::uint8_t days) {
    bytes_[kIntervalDays] = days;
}

UpdateSchedule SettingsRecord::CheckSchedule() const {
    return static_cast<UpdateSchedule>(bytes_[kCheckSchedule]);
}
void SettingsRecord::SetCheckSchedule(UpdateSchedule schedule) {
    bytes_[kCheckSchedule] = static_cast<std::uint8_t>(schedule);
}

FoundUpdateAction SettingsRecord::FoundAction() const {
    return static_cast<FoundUpdateAction>(bytes_[kFoundAction]);
}
void SettingsRecord::SetFoundAction(FoundUpdateAction action) {
    bytes_[kFoundAction] = static_cast<std::uint8_t>(action);
}

std::int32_t SettingsRecord::StoredVaultCount() const {
    return ReadInt32(&bytes_[kVaultCount]);
}
void SettingsRecord::SetStoredVaultCount(std::int32_t count) {
    WriteInt32(&bytes_[kVaultCount], count);
}

std::int32_t SettingsRecord::TotalUpdates() const {
    return ReadInt32(&bytes_[kTotalUpdates]);
}
void SettingsRecord::SetTotalUpdates(std::int32_t count) {
    WriteInt32(&bytes_[kTotalUpdates], count);
}

double SettingsRecord::LastUpdateDate() const {
    return std::bit_cast<double>(ReadLe(&bytes_[kLastUpdateDate], 8));
}
void SettingsRecord::SetLastUpdateDate(double serial) {
    WriteLe(&bytes_[kLastUpdateDate], std::bit_cast<std::uint64_t>(serial), 8);
}

std::int32_t SettingsRecord::LastUpdateSize() const {
    return ReadInt32(&bytes_[kLastUpdateSize]);
}
void SettingsRecord::SetLastUpdateSize(std::int32_t bytes) {
    WriteInt32(&bytes_[kLastUpdateSize], bytes);
}

}  // namespace tolvar
