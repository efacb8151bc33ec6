#include "ui/scan_page_win.h"

#include "ui/main_form_win.h"

namespace tolvar {

namespace {

constexpr ScanCommand kCommands[] = {ScanCommand::Start, ScanCommand::Pause, ScanCommand::Resume,
                                     ScanCommand::Stop};

int SlotOf(ScanCommand command) {
    switch (command) {
        case ScanCommand::Start:
            return slot::kStartScan;
        case ScanCommand::Pause:
            return slot::kPauseScan;
        case ScanCommand::Resume:
            return slot::kResumeScan;
        case ScanCommand::Stop:
            break;
    }
    return slot::kStopScan;
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

void ScanPage::LightCommand(ScanCommand command) {
    // The Selected flags of the four slots are the record of the lit image,
    // and all four are set from the one command: no image another part
    // remembered (or forgot) stays lit beside it.
    SlotTable& slots = form_.skin().Slots();
    for (const ScanCommand each : kCommands) {
        const int n = SlotOf(each);
        if (each == command || slots.flags(n).Selected) slots.Select(n, each == command);
    }
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
