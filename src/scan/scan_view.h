#pragma once

// What the scan shows on the Scan page, and which window follows a scan:
// the two seams between the scan logic and the windows, so that the logic
// runs (and is tested) without the main window.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "core/infection_record.h"

namespace tolvar {

// The four command images of the Scan page; exactly one of them is lit: the
// command last given, and Stop while no scan has begun or since one ended.
enum class ScanCommand { Start, Pause, Resume, Stop };

class ScanView {
public:
    virtual ~ScanView() = default;

    // The status line: the item being scanned, or how the scan ended.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowItemsScanned(std::int32_t count) = 0;
    virtual void ShowInfectionsFound(std::int32_t count) = 0;
    // The percentage as a text ("12.50%").
    virtual void ShowPercent(const std::string& text) = 0;
    // The bar's value, 0 to 100, drawn at once.
    virtual void ShowProgressBar(int value) = 0;
    virtual void ClearInfectionRows() = 0;
    virtual void AddInfectionRow(const InfectionRecord& record) = 0;
    // Lights this command's image and darkens the other three. The images
    // are the one record of which command is lit: nobody keeps another.
    virtual void LightCommand(ScanCommand command) = 0;
    // Brings the Scan page forward with its progress view.
    virtual void ShowProgressView() = 0;
    // While a scan runs the page is brought up to date on a timer, never per
    // report line: tick is called every 100 ms on the UI thread until
    // StopRefreshTimer.
    virtual void StartRefreshTimer(std::function<void()> tick) = 0;
    virtual void StopRefreshTimer() = 0;
};

// The window that follows the end of a scan.
class ScanOutcomes {
public:
    virtual ~ScanOutcomes() = default;

    // A new scan begins: what followed an earlier one goes. Its offer to
    // remove infections above all, which would act on this scan's findings
    // (the earlier scan's are replaced by them, as on the Scan page).
    virtual void NewScanBegins() = 0;
    // The scan ended (finished or stopped) having found infections: the
    // offer to remove them follows.
    virtual void InfectionsFound(std::int32_t count) = 0;
    virtual void NoInfectionsFound() = 0;
    // The scan could not be done; reason is the scanner's own words when it
    // gave any.
    virtual void ScanFailed(const std::string& reason) = 0;
    // Something went wrong around the scan (its record could not be stored,
    // a worker failed): the user hears of it, the program goes on.
    virtual void ReportError(std::exception_ptr error) = 0;
};

}  // namespace tolvar
