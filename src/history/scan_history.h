#pragma once

// The scan history: the running totals and last-scan figures kept in the
// registry value "lsd", and the dump of the last scan's infection table in
// db\list.gav.

#include <cstdint>
#include <string>

#include "core/infection_record.h"
#include "history/scan_statistics.h"

namespace tolvar {

// The one record of this run.
ScanStatistics& Statistics();

// Records a scan that has ended. infectionsFound is the true number of
// detections; the table's first slots hold them (at most its 500). Throws
// on a file or registry error after the totals in memory are updated.
void RecordFinishedScan(std::int32_t infectionsFound, std::int32_t itemsScanned,
                        const InfectionTable& table);

// Reads the stored record (errors keep the defaults) and, when the last scan
// left infections unremoved, its dump into the table.
void LoadScanHistory(InfectionTable& table);

// A removal run removed n infections.
void AddRemovals(std::int32_t n);

}  // namespace tolvar
