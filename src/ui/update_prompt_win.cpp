#include "ui/update_prompt_win.h"

namespace tolvar {

namespace {
constexpr int kLeft = 24;
constexpr int kWidth = 367 - 2 * kLeft;
}  // namespace

TForm15::TForm15(Skin& skin)
    : MessageWindow("Update Available", "FORM15", 4, skin),
      Label1(AddText(kLeft, 60, kWidth, 16, "There is a Virus Database Update available!")),
      Label2(
          AddText(kLeft, 88, kWidth, 16, "For your maximum security, the Virus Database must be")),
      Label3(AddText(kLeft, 104, kWidth, 16, "updated regularly.")),
      Label4(AddText(kLeft, 132, kWidth, 16, "Would you like to download it before continuing?")),
      Image2(AddButton(slot::kUpdateYes, 72, 186)),
      Image3(AddButton(slot::kUpdateNo, 189, 186)) {
    FontSpec bold = Label1.font();
    bold.bold = true;
    Label1.setFont(bold);
    for (Label* line : {&Label1, &Label2, &Label3, &Label4})
        line->setWordWrap(false);
    // The prompt stays beneath the download window until that closes.
    Image2.onClick = [this] {
        if (openDownload) openDownload();
        close();
    };
    Image3.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image3);
}

}  // namespace tolvar
