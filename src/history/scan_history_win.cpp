#include "history/scan_history.h"

#include <windows.h>

#include <vector>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/folders.h"
#include "core/registry_win.h"
#include "core/trusted_files_win.h"
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
        // The dump names files for the elevated removal to take: one that
        // others could have written is not read.
        const NamedFile file = OpenTrustedFile(DumpPath(), GENERIC_READ, FILE_SHARE_READ);
        if (file.handle) {
            std::vector<std::uint8_t> data(kInfectionTableBytes);
            std::size_t got = 0;
            DWORD n = 0;
            while (got < data.size() &&
                   ReadFile(file.handle.get(), data.data() + got,
                            static_cast<DWORD>(data.size() - got), &n, nullptr) &&
                   n > 0) {
                got += n;
            }
            // A short file is read as far as it goes.
            LoadInfectionTable(table, data.data(), got);
        }
    }
}

void AddRemovals(std::int32_t n) {
    tolvar::AddRemovals(Statistics(), n);
    StoreStatistics();
}

}  // namespace tolvar
