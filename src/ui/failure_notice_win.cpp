#include "ui/failure_notice_win.h"

namespace tolvar {

namespace {
constexpr int kLeft = 14;
constexpr int kTop = 50;
constexpr int kLineStep = 13;
constexpr int kWidth = 367 - 2 * kLeft;
// The link's colour value: blue.
constexpr COLORREF kLinkColour = 12615680;
}  // namespace

TForm14::TForm14(Skin& skin)
    : MessageWindow("Download Failed", "FORM14", 4, skin),
      Label1(AddText(kLeft, kTop, kWidth, kLineStep,
                     "The System was unable to download the neccessary files from")),
      Label2(AddText(kLeft, kTop + kLineStep, kWidth, kLineStep,
                     "the internet. Please check the following:")),
      Label3(AddText(kLeft, kTop + 2 * kLineStep, kWidth, kLineStep,
                     "- Your computer's connected to the internet.")),
      // The notice names this product, not another one.
      Label4(AddText(kLeft, kTop + 3 * kLineStep, kWidth, kLineStep,
                     "- If you're using a firewall, make sure Tolvar AntiVirus is allowed")),
      Label5(AddText(kLeft, kTop + 4 * kLineStep, kWidth, kLineStep, "  to use the internet.")),
      Label6(AddText(kLeft, kTop + 5 * kLineStep, kWidth, kLineStep,
                     "- If you're using a proxy, check your proxy settings")),
      Label7(AddText(kLeft, kTop + 5 * kLineStep, 40, kLineStep, "here")),
      Label8(AddText(kLeft, kTop + 6 * kLineStep + 6, kWidth, 3 * kLineStep, "")),
      Image2(AddButton(slot::kFailureNoticeClose, (367 - 2 - 105) / 2, 186)) {
    for (Label* line : {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7, &Label8}) {
        FontSpec font = line->font();
        font.height = 11;
        line->setFont(font);
        line->setWordWrap(line == &Label8);
    }
    // The link follows the last line's text on the same line.
    Label6.fitToText();
    FontSpec bold = Label7.font();
    bold.bold = true;
    Label7.setFont(bold);
    Label7.setTextColor(kLinkColour);
    Label7.fitToText();
    Label7.setPosition(Label6.bounds().right() + 3, Label6.bounds().top);
    Label7.cursor = IDC_HAND;
    Label7.onClick = [this] {
        if (openSettings) openSettings();
    };
    Image2.onClick = [this] { close(); };
    // The link is reached with Tab and followed with Enter or Space.
    Label7.accessible.role = AccessibleRole::Link;
    Label7.setTabStop(true);
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image2);
}

void TForm14::ShowFailure(const std::string& reason) {
    Label8.setCaption(reason);
    showCentred();
}

}  // namespace tolvar
