#pragma once

// Running totals over every recorded scan and the figures of the latest one:
// a 64-byte record kept in the registry and stored byte for byte. All numbers
// are signed 32-bit little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

class ScanStatistics {
public:
    static constexpr std::size_t kSize = 64;
    static constexpr std::size_t kLastScanDateCapacity = 20;

    using Storage = std::array<std::uint8_t, kSize>;

    ScanStatistics() = default;  // all zero, including an empty date

    // What the program holds before a stored record is read: all zero, date
    // "none".
    static ScanStatistics Defaults();

    std::int32_t ScanMarker() const;
    void SetScanMarker(std::int32_t value);
    std::int32_t TotalItemsScanned() const;
    void SetTotalItemsScanned(std::int32_t value);
    std::int32_t TotalInfectionsRemoved() const;
    void SetTotalInfectionsRemoved(std::int32_t value);
    std::int32_t ScanCount() const;
    void SetScanCount(std::int32_t value);
    std::int32_t TotalInfectionsFound() const;
    void SetTotalInfectionsFound(std::int32_t value);
    std::int32_t Reserved1() const;
    void SetReserved1(std::int32_t value);
    std::int32_t LastItemsScanned() const;
    void SetLastItemsScanned(std::int32_t value);
    std::int32_t LastInfectionsRemoved() const;
    void SetLastInfectionsRemoved(std::int32_t value);
    std::string LastScanDate() const;
    void SetLastScanDate(std::string_view text);  // cut to 20 characters
    std::int32_t Reserved2() const;
    void SetReserved2(std::int32_t value);
    std::int32_t LastInfectionsFound() const;
    void SetLastInfectionsFound(std::int32_t value);

    const Storage& Bytes() const { return bytes_; }
    Storage& MutableBytes() { return bytes_; }

private:
    Storage bytes_{};
};

static_assert(sizeof(ScanStatistics) == ScanStatistics::kSize);

// The bookkeeping of a scan that has ended (stopped or finished): one more
// scan, its figures added to the totals and kept as the latest, and the
// removal count of the previous scan cleared. infectionsFound is the number
// of detections, which may be more than the infection table holds.
//
// The totals stop at INT32_MAX (and INT32_MIN for negative input) instead of
// wrapping: a 32-bit signed overflow is undefined, and a wrapped total would
// show a negative count on the History page.
void RecordScan(ScanStatistics& stats, std::int32_t infectionsFound, std::int32_t itemsScanned,
                std::string_view dateText);

// The bookkeeping of a removal run that removed n infections: added to the
// latest scan's count (a retry of what an earlier run left adds to it) and
// to the total, both saturating like RecordScan's.
void AddRemovals(ScanStatistics& stats, std::int32_t n);

}  // namespace tolvar
