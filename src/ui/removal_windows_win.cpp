#include "ui/removal_windows_win.h"

#include "quarantine/removal.h"
#include "ui/theme_win.h"

namespace tolvar {

namespace {

Label& Bold(Label& label) {
    label.setFont(FontSpec{theme::kFontName, theme::kFontHeight, true});
    return label;
}

}  // namespace

TForm11::TForm11(Skin& skin)
    : MessageWindow("Infections Found", "FORM11", 0, skin),
      Label1(Bold(AddText(72, 60, 40, 16, "0"))),
      Label2(AddText(100, 60, 250, 16, "infection(s) were found on your computer.")),
      Label3(AddText(72, 80, 280, 16, "Would you like to remove these infections?")),
      Image2(AddButton(slot::kRemoveYes, 72, 112)),
      Image3(AddButton(slot::kRemoveNo, 189, 112)) {
    Image2.onClick = [this] {
        close();
        if (remove_) remove_();
    };
    Image3.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image3);
}

void TForm11::ShowPrompt(int infectionCount, std::function<void()> remove) {
    remove_ = std::move(remove);
    Label1.setCaption(std::to_string(infectionCount));
    Label1.fitToText();
    Label2.setPosition(Label1.bounds().right() + 4, 60);
    showCentred();
    skin_.PaintSlot(slot::kRemoveYes);
    skin_.PaintSlot(slot::kRemoveNo);
}

TForm7::TForm7(Skin& skin)
    : MessageWindow("Removing Infections", "FORM7", 0, skin),
      Label1(AddText(24, 56, 140, 16, "Infections Removed:")),
      Label2(Bold(AddText(170, 56, 100, 16, "0"))),
      Label3(AddText(24, 80, 140, 16, "Removing:")),
      Label4(Bold(AddText(170, 80, 180, 16, ""))),
      Timer1(2000, false) {}

void TForm7::ShowProgress(RemovalRun& run) {
    Label2.setCaption(std::to_string(total_ - run.Remaining()));
    Label4.setCaption(run.Remaining() > 0 ? run.Next().VirusName.substr(0, 30) : "");
}

void TForm7::Run(RemovalRun& run) {
    total_ = run.Remaining();
    ShowProgress(run);
    // The window closes once the last item is done; it never closes while an
    // item's copy is still under way.
    const auto closeWhenDone = [this, &run] {
        if (!run.Busy() && (run.Remaining() == 0 || run.Stopped())) setModalResult(mrOk);
    };
    Timer1.onTimer = [this, &run, closeWhenDone] {
        if (run.Busy()) return;  // the pace is one item per tick, each whole
        if (run.Remaining() == 0 || run.Stopped()) {
            closeWhenDone();
            return;
        }
        ShowProgress(run);
        run.StartNextItem(closeWhenDone);
    };
    Timer1.setEnabled(true);
    showModal();
    Timer1.setEnabled(false);
    Timer1.onTimer = nullptr;
}

TForm6::TForm6(Skin& skin)
    : MessageWindow("Removal Complete", "FORM6", 0, skin),
      Label1(Bold(AddText(72, 56, 40, 16, "0"))),
      Label2(AddText(100, 56, 260, 16, "Infection(s) were successfully removed")),
      Label3(AddText(72, 74, 280, 16, "Infected files have been quarantined.")),
      Label4(AddText(72, 92, 290, 16, "")),
      Image3(AddButton(slot::kRemovalDoneOk, 130, 112)) {
    Image3.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image3);
    keyboard().setCancelButton(&Image3);
}

void TForm6::ShowResult(const RemovalOutcome& outcome) {
    Label1.setCaption(std::to_string(outcome.removed));
    Label1.fitToText();
    Label2.setPosition(Label1.bounds().right() + 4, 56);
    // The count is the truth: what could not be moved, and why the run
    // stopped, is said, not hidden.
    std::string problem = outcome.stopReason.empty() ? "" : "Stopped: " + outcome.stopReason;
    if (outcome.notRemoved > 0) {
        problem += problem.empty() ? std::to_string(outcome.notRemoved) + " could not be removed."
                                   : "; " + std::to_string(outcome.notRemoved) + " not removed.";
    } else if (!problem.empty()) {
        problem += ".";
    }
    Label4.setCaption(problem);
    Label4.setTextColor(RGB(217, 83, 79));
    showModal();
}

}  // namespace tolvar
