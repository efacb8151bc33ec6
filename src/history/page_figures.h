#pragma once

// The figures of the Results page, the History page and the Scan page's
// summary view, read from the statistics each time the page is shown.

namespace tolvar {

class TForm1;

void FillResultsPage(TForm1& form);
void FillHistoryPage(TForm1& form);
void FillScanSummaryPanel(TForm1& form);

}  // namespace tolvar
