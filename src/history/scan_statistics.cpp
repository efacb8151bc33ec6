#include "history/scan_statistics.h"

#include <algorithm>
#include <limits>

#include "core/little_endian.h"
#include "core/short_string.h"

namespace tolvar {

namespace {

constexpr std::size_t kScanMarker = 0;
constexpr std::size_t kTotalItemsScanned = 4;
constexpr std::size_t kTotalInfectionsRemoved = 8;
constexpr std::size_t kScanCount = 12;
constexpr std::size_t kTotalInfectionsFound = 16;
constexpr std::size_t kReserved1 = 20;
constexpr std::size_t kLastItemsScanned = 24;
constexpr std::size_t kLastInfectionsRemoved = 28;
constexpr std::size_t kLastScanDate = 32;
constexpr std::size_t kReserved2 = 56;
constexpr std::size_t kLastInfectionsFound = 60;

std::int32_t SaturatingAdd(std::int32_t total, std::int32_t amount) {
    const std::int64_t sum = std::int64_t{total} + amount;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

ScanStatistics ScanStatistics::Defaults() {
    ScanStatistics stats;
    stats.SetLastScanDate("none");
    return stats;
}

std::int32_t ScanStatistics::ScanMarker() const {
    return ReadInt32(&bytes_[kScanMarker]);
}
void ScanStatistics::SetScanMarker(std::int32_t value) {
    WriteInt32(&bytes_[kScanMarker], value);
}

std::int32_t ScanStatistics::TotalItemsScanned() const {
    return ReadInt32(&bytes_[kTotalItemsScanned]);
}
void ScanStatistics::SetTotalItemsScanned(std::int32_t value) {
    WriteInt32(&bytes_[kTotalItemsScanned], value);
}

std::int32_t ScanStatistics::TotalInfectionsRemoved() const {
    return ReadInt32(&bytes_[kTotalInfectionsRemoved]);
}
void ScanStatistics::SetTotalInfectionsRemoved(std::int32_t value) {
    WriteInt32(&bytes_[kTotalInfectionsRemoved], value);
}

std::int32_t ScanStatistics::ScanCount() const {
    return ReadInt32(&bytes_[kScanCount]);
}
void ScanStatistics::SetScanCount(std::int32_t value) {
    WriteInt32(&bytes_[kScanCount], value);
}

std::int32_t ScanStatistics::TotalInfectionsFound() const {
    return ReadInt32(&bytes_[kTotalInfectionsFound]);
}
void ScanStatistics::SetTotalInfectionsFound(std::int32_t value) {
    WriteInt32(&bytes_[kTotalInfectionsFound], value);
}

std::int32_t ScanStatistics::Reserved1() const {
    return ReadInt32(&bytes_[kReserved1]);
}
void ScanStatistics::SetReserved1(std::int32_t value) {
    WriteInt32(&bytes_[kReserved1], value);
}

std::int32_t ScanStatistics::LastItemsScanned() const {
    return ReadInt32(&bytes_[kLastItemsScanned]);
}
void ScanStatistics::SetLastItemsScanned(std::int32_t value) {
    WriteInt32(&bytes_[kLastItemsScanned], value);
}

std::int32_t ScanStatistics::LastInfectionsRemoved() const {
    return ReadInt32(&bytes_[kLastInfectionsRemoved]);
}
void ScanStatistics::SetLastInfectionsRemoved(std::int32_t value) {
    WriteInt32(&bytes_[kLastInfectionsRemoved], value);
}

std::string ScanStatistics::LastScanDate() const {
    return ReadShortString(&bytes_[kLastScanDate], kLastScanDateCapacity);
}
void ScanStatistics::SetLastScanDate(std::string_view text) {
    WriteShortString(&bytes_[kLastScanDate], kLastScanDateCapacity, text);
}

std::int32_t ScanStatistics::Reserved2() const {
    return ReadInt32(&bytes_[kReserved2]);
}
void ScanStatistics::SetReserved2(std::int32_t value) {
    WriteInt32(&bytes_[kReserved2], value);
}

std::int32_t ScanStatistics::LastInfectionsFound() const {
    return ReadInt32(&bytes_[kLastInfectionsFound]);
}
void ScanStatistics::SetLastInfectionsFound(std::int32_t value) {
    WriteInt32(&bytes_[kLastInfectionsFound], value);
}

void RecordScan(ScanStatistics& stats, std::int32_t infectionsFound, std::int32_t itemsScanned,
                std::string_view dateText) {
    stats.SetScanCount(SaturatingAdd(stats.ScanCount(), 1));
    stats.SetTotalInfectionsFound(SaturatingAdd(stats.TotalInfectionsFound(), infectionsFound));
    stats.SetTotalItemsScanned(SaturatingAdd(stats.TotalItemsScanned(), itemsScanned));
    stats.SetLastScanDate(dateText);
    stats.SetReserved1(0);
    stats.SetLastInfectionsFound(infectionsFound);
    stats.SetScanMarker(1);
    // The removal count belongs to the scan before; this scan's run has not
    // happened yet.
    stats.SetLastInfectionsRemoved(0);
    stats.SetLastItemsScanned(itemsScanned);
}

void AddRemovals(ScanStatistics& stats, std::int32_t n) {
    // A second run over what the first could not remove belongs to the same
    // scan: it adds to the scan's count (each scan starts it at 0).
    stats.SetLastInfectionsRemoved(SaturatingAdd(stats.LastInfectionsRemoved(), n));
    stats.SetTotalInfectionsRemoved(SaturatingAdd(stats.TotalInfectionsRemoved(), n));
}

}  // namespace tolvar
