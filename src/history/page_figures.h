#pragma once

// The figures of the Results page, the History page and the Scan page's
// summary view, as the pages show them; read from the statistics each time
// a page is shown.

#include <string>

#include "history/scan_statistics.h"

namespace tolvar {

// The latest scan: shown on the Results page, the History page and the
// Scan page's summary view.
struct LastScanFigures {
    std::string date;
    std::string infectionsFound;
    std::string itemsScanned;
    std::string infectionsRemoved;
};

// The History page: the totals over every recorded scan, and the latest.
struct HistoryFigures {
    std::string scanCount;
    std::string totalInfectionsFound;
    std::string totalItemsScanned;
    std::string totalInfectionsRemoved;
    LastScanFigures lastScan;
};

LastScanFigures LastScanFiguresOf(const ScanStatistics& statistics);
HistoryFigures HistoryFiguresOf(const ScanStatistics& statistics);

}  // namespace tolvar
