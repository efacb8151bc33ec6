#include "history/page_figures.h"

namespace tolvar {

LastScanFigures LastScanFiguresOf(const ScanStatistics& s) {
    return LastScanFigures{s.LastScanDate(), std::to_string(s.LastInfectionsFound()),
                           std::to_string(s.LastItemsScanned()),
                           std::to_string(s.LastInfectionsRemoved())};
}

HistoryFigures HistoryFiguresOf(const ScanStatistics& s) {
    return HistoryFigures{std::to_string(s.ScanCount()), std::to_string(s.TotalInfectionsFound()),
                          std::to_string(s.TotalItemsScanned()),
                          std::to_string(s.TotalInfectionsRemoved()), LastScanFiguresOf(s)};
}

}  // namespace tolvar
