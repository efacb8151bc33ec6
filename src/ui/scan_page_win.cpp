#include "ui/scan_page_win.h"

#include "ui/main_form_win.h"

namespace tolvar {

namespace {

int SlotOf(ScanCommand command) {
    switch (command) {
        case ScanCommand::Start:
            return slot::kStartScan;
        case ScanCommand::Pause:
            return slot::kPauseScan;
        case ScanCommand::Resume:
            return slot::kResumeScan;
        case ScanCommand::Stop:
            return slot::kStopScan;
        case ScanCommand::None:
            break;
    }
    return SlotTable::None;
}

}  // namespace

void ScanPage::ShowStatus(const std::string& text) {
    form_.Label10.setCaption(text);
}

void ScanPage::ShowItemsScanned(std::int32_t count) {
    form_.Label40.setCaption("Items Scanned: " + std::to_string(count));
}

void ScanPage::ShowInfectionsFound(std::int32_t count) {
    form_.Label12.setCaption("Infections Found: " + std::to_string(count));
}

void ScanPage::ShowPercent(const std::string& text) {
    form_.Label11.setCaption(text);
}

void ScanPage::ShowProgressBar(int value) {
    form_.skin().SetProgressValue(value);
    form_.skin().PaintProgressBar(1);
}

void ScanPage::ClearInfectionRows() {
    rows_.clear();
    form_.edtInfections.clear();
}

void ScanPage::AddInfectionRow(const InfectionRecord& record) {
    rows_.push_back(record);
    form_.edtInfections.addItem(record.VirusName);
}

const InfectionRecord* ScanPage::Row(int index) const {
    if (index < 0 || index >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<std::size_t>(index)];
}

void ScanPage::LightCommand(ScanCommand command, bool lit) {
    const int n = SlotOf(command);
    if (SlotTable::IsSlot(n)) form_.skin().Slots().Select(n, lit);
    // The lit command moves with each change of the scan's state.
    form_.AnnounceCommandStates();
}

void ScanPage::ShowProgressView() {
    form_.ShowScanProgress();
}

void ScanPage::StartRefreshTimer(std::function<void()> tick) {
    form_.Timer1.onTimer = [this, tick = std::move(tick)] {
        tick();
        // The bar is drawn on every tick whatever changed.
        form_.skin().PaintProgressBar(1);
    };
    form_.Timer1.setEnabled(true);
}

void ScanPage::StopRefreshTimer() {
    form_.Timer1.setEnabled(false);
}

}  // namespace tolvar
