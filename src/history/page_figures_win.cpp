#include "history/page_figures.h"

#include <string>

#include "history/scan_history.h"
#include "ui/main_form_win.h"

namespace tolvar {

namespace {

void ShowLastScan(Label& date, Label& found, Label& items, Label& removed) {
    const ScanStatistics& s = Statistics();
    date.setCaption(s.LastScanDate());
    found.setCaption(std::to_string(s.LastInfectionsFound()));
    items.setCaption(std::to_string(s.LastItemsScanned()));
    removed.setCaption(std::to_string(s.LastInfectionsRemoved()));
}

}  // namespace

void FillResultsPage(TForm1& f) {
    ShowLastScan(f.Label18, f.Label19, f.Label20, f.Label21);
}

void FillHistoryPage(TForm1& f) {
    const ScanStatistics& s = Statistics();
    f.Label32.setCaption(std::to_string(s.ScanCount()));
    f.Label33.setCaption(std::to_string(s.TotalInfectionsFound()));
    f.Label34.setCaption(std::to_string(s.TotalItemsScanned()));
    f.Label35.setCaption(std::to_string(s.TotalInfectionsRemoved()));
    ShowLastScan(f.Label36, f.Label37, f.Label38, f.Label39);
}

void FillScanSummaryPanel(TForm1& f) {
    ShowLastScan(f.Label6, f.Label7, f.Label8, f.Label9);
}

}  // namespace tolvar
