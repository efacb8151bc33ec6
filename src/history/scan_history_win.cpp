#include "history/scan_history.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "history/scan_dump.h"

namespace tolvar {

namespace {

std::string DumpPath() {
    return Folders().DataFolder + "db\\list.gav";
}

void StoreStatistics() {
    RegistryKey("lsd").WriteBinary(Statistics().Bytes().data(), ScanStatistics::kSize);
}

}  // namespace

ScanStatistics& Statistics() {
    static ScanStatistics statistics = ScanStatistics::Defaults();
    return statistics;
}

void RecordFinishedScan(std::int32_t infectionsFound, std::int32_t itemsScanned,
                        const InfectionTable& table) {
    RecordScan(Statistics(), infectionsFound, itemsScanned, TodayAsShortDate());
    // Written beside and then put in place: a crash leaves the old dump whole.
    if (infectionsFound > 0) WriteFileAtomically(DumpPath(), DumpInfectionTable(table));
    StoreStatistics();
}

void LoadScanHistory(InfectionTable& table) {
    Statistics() = ScanStatistics::Defaults();
    try {
        RegistryKey("lsd").ReadBinary(Statistics().MutableBytes().data(), ScanStatistics::kSize);
    } catch (const AppError&) {
        // A damaged or foreign value: the defaults stay.
    }
    const ScanStatistics& s = Statistics();
    if (s.LastInfectionsFound() > s.LastInfectionsRemoved()) {
        std::ifstream file(DumpPath(), std::ios::binary);
        if (file) {
            std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
            // A short file is read as far as it goes.
            LoadInfectionTable(table, data.data(), data.size());
        }
    }
}

void AddRemovals(std::int32_t n) {
    tolvar::AddRemovals(Statistics(), n);
    StoreStatistics();
}

}  // namespace tolvar
