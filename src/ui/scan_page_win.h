#pragma once

// The Scan page as the scan sees it: its status, figures, bar, infection
// list and command images on the main window, brought up to date by the
// main window's Timer1 while a scan runs.

#include <vector>

#include "core/infection_record.h"
#include "scan/scan_view.h"

namespace tolvar {

class TForm1;

class ScanPage : public ScanView {
public:
    explicit ScanPage(TForm1& form) : form_(form) {}

    void ShowStatus(const std::string& text) override;
    void ShowItemsScanned(std::int32_t count) override;
    void ShowInfectionsFound(std::int32_t count) override;
    void ShowPercent(const std::string& text) override;
    void ShowProgressBar(int value) override;
    void ClearInfectionRows() override;
    void AddInfectionRow(const InfectionRecord& record) override;
    void LightCommand(ScanCommand command) override;
    void ShowProgressView() override;
    void StartRefreshTimer(std::function<void()> tick) override;
    void StopRefreshTimer() override;

    // The record a row of the infection list stands for; null past the
    // rows listed.
    const InfectionRecord* Row(int index) const;

private:
    TForm1& form_;
    // The rows' records, for drawing: the list shows only the names.
    std::vector<InfectionRecord> rows_;
};

}  // namespace tolvar
