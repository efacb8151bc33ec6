#include "ui/result_windows_win.h"

#include "ui/theme_win.h"

namespace tolvar {

namespace {
// The body right of the title band's icon, and the one button centred below.
constexpr int kTextLeft = 72;
constexpr int kTextTop = 62;
constexpr int kButtonTop = 112;
}  // namespace

TForm17::TForm17(Skin& skin)
    : MessageWindow("Scan Complete", "FORM17", 3, skin),
      Label1(AddText(kTextLeft, kTextTop, clientWidth() - kTextLeft - 16, 40,
                     "The Scan is Complete and no infections were found!")),
      Image2(AddButton(slot::kNoInfectionsClose, (clientWidth() - 2 - 105) / 2, kButtonTop)) {
    Image2.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image2);
}

ScanFailedForm::ScanFailedForm(Skin& skin)
    : MessageWindow("Scan Failed", "SCANFAILED", 3, skin),
      Label1(AddText(kTextLeft, kTextTop - 8, clientWidth() - kTextLeft - 16, 18,
                     "The scan could not be done.")),
      Label2(AddText(kTextLeft, kTextTop + 8, clientWidth() - kTextLeft - 16, 42, "")),
      Image2(AddButton(slot::kScanFailedClose, (clientWidth() - 2 - 105) / 2, kButtonTop)) {
    // The reason names a folder and, after a crash, what was found before
    // it: three lines of a smaller type.
    Label2.setFont(FontSpec{theme::kFontName, theme::kFontHeight - 2, false});
    Image2.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image2);
}

void ScanFailedForm::ShowFailure(const std::string& reason) {
    Label2.setCaption(reason.empty() ? "The scanner gave no reason." : reason);
    showCentred();
}

}  // namespace tolvar
