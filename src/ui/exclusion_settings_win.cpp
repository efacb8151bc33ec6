#include "ui/exclusion_settings_win.h"

#include <algorithm>

#include "core/app_error.h"
#include "core/folders.h"
#include "framework/text_lines.h"
#include "quarantine/allow_list_win.h"
#include "scan/choose_folder.h"
#include "scan/excluded_folders.h"
#include "ui/theme_win.h"

namespace tolvar {

namespace {

constexpr int kDialogFontHeight = 11;
constexpr int kInset = 12;
constexpr int kLineHeight = 14;
constexpr int kGap = 8;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 25;
constexpr int kInnerWidth = ExclusionSettings::kWidth - 2 * kInset;

// Inside each group, from its top: a hint of two lines, then the field.
constexpr int kHintRow = 20;
constexpr int kHintHeight = 2 * kLineHeight;
constexpr int kFieldRow = kHintRow + kHintHeight + 4;

constexpr int kFoldersFieldHeight = 5 * kLineHeight + 10;
constexpr int kFoldersButtonRow = kFieldRow + kFoldersFieldHeight + 6;
constexpr int kFoldersHeight = kFoldersButtonRow + kButtonHeight + 10;

constexpr int kAllowedRowHeight = 16;
constexpr int kAllowedFieldHeight = 4 * kAllowedRowHeight + 4;
constexpr int kAllowedButtonRow = kFieldRow + kAllowedFieldHeight + 6;
constexpr int kAllowedHeight = kAllowedButtonRow + kButtonHeight + 10;

constexpr int kIgnoredFieldHeight = 3 * kLineHeight + 10;
constexpr int kIgnoredHeight = kFieldRow + kIgnoredFieldHeight + 10;

constexpr int kAllowedTop = kFoldersHeight + kGap;
constexpr int kIgnoredTop = kAllowedTop + kAllowedHeight + kGap;
constexpr int kProblemTop = kIgnoredTop + kIgnoredHeight + 4;
constexpr int kProblemHeight = 3 * kLineHeight;

FontSpec DialogFont() {
    return FontSpec{theme::kFontName, kDialogFontHeight};
}

Label& AddHint(WindowedControl& parent, int top, int height, const std::string& text) {
    Label& label = parent.add<Label>(kInset, top, kInnerWidth, height, text);
    label.setFont(DialogFont());
    label.setWordWrap(true);
    return label;
}

RichEdit& AddLines(WindowedControl& parent, int height, const std::string& name) {
    RichEdit& edit = parent.add<RichEdit>(kInset, kFieldRow, kInnerWidth, height);
    edit.setFont(DialogFont());
    edit.accessible.name = name;
    return edit;
}

// The field's lines, blanks around each dropped and blank lines left out.
std::vector<std::string> FieldLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string line : SplitLines(text)) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        lines.push_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return lines;
}

std::string ErrorWords(const std::exception& error) {
    std::string words = error.what();
    while (!words.empty() && (words.back() == '.' || words.back() == ' '))
        words.pop_back();
    return words;
}

}  // namespace

int ExclusionSettings::Height() {
    return kProblemTop + kProblemHeight;
}

ExclusionSettings::ExclusionSettings(Form& form, int left, int top)
    : chooseFolder([] { return ChooseFolder("Select a Folder to Exclude", 1); }),
      FoldersGroup(form.add<GroupBox>(left, top, kWidth, kFoldersHeight, "Excluded Folders")),
      FoldersHint(AddHint(FoldersGroup, kHintRow, kHintHeight,
                          "No scan enters these folders or what lies below them. One folder a "
                          "line, by its full path.")),
      FoldersEdit(AddLines(FoldersGroup, kFoldersFieldHeight, "Excluded folders")),
      AddFolderButton(FoldersGroup.add<Button>(kWidth - kInset - kButtonWidth, kFoldersButtonRow,
                                               kButtonWidth, kButtonHeight, "Add &Folder...")),
      AllowedGroup(
          form.add<GroupBox>(left, top + kAllowedTop, kWidth, kAllowedHeight, "Allowed Files")),
      AllowedHint(AddHint(AllowedGroup, kHintRow, kHintHeight,
                          "Not detected again while their content stays the same. Take Back "
                          "acts at once.")),
      AllowedList(AllowedGroup.add<ListBox>(kInset, kFieldRow, kInnerWidth, kAllowedFieldHeight,
                                            SelectionMode::Single, kAllowedRowHeight)),
      TakeBackButton(AllowedGroup.add<Button>(kWidth - kInset - kButtonWidth, kAllowedButtonRow,
                                              kButtonWidth, kButtonHeight, "&Take Back")),
      IgnoredGroup(form.add<GroupBox>(left, top + kIgnoredTop, kWidth, kIgnoredHeight,
                                      "Ignored Detection Names")),
      IgnoredHint(AddHint(IgnoredGroup, kHintRow, kHintHeight,
                          "Detections by these names are never reported. One name a line, as "
                          "a scan reports it.")),
      IgnoredEdit(AddLines(IgnoredGroup, kIgnoredFieldHeight, "Ignored detection names")),
      Problem(form.add<Label>(left, top + kProblemTop, kWidth, kProblemHeight)),
      form_(form) {
    AllowedList.accessible.name = "Allowed files";
    Problem.setFont(DialogFont());
    Problem.setWordWrap(true);
    Problem.setTextColor(RGB(0xB0, 0, 0));
    AddFolderButton.onClick = [this] { AddFolder(); };
    TakeBackButton.onClick = [this] { TakeBack(); };
    AllowedList.onSelectionChange = [this] {
        TakeBackButton.setEnabled(AllowedList.itemIndex() >= 0);
    };
}

void ExclusionSettings::Load() {
    Problem.setCaption("");
    FoldersEdit.setText(JoinCrLf(SplitLines(LoadExcludedFoldersText())));
    shownFolders_ = FoldersEdit.text();
    std::string unread;
    try {
        IgnoredEdit.setText(JoinCrLf(IgnoredNames(Folders().DatabaseFolder)));
        ignoredReadable_ = true;
    } catch (const AppError& error) {
        IgnoredEdit.setText("");
        ignoredReadable_ = false;
        unread = "The ignored detection names could not be read (" + ErrorWords(error) +
                 "); they are kept as they are. ";
    }
    IgnoredEdit.setEnabled(ignoredReadable_);
    shownIgnored_ = IgnoredEdit.text();
    try {
        allowed_ = AllowedFiles(Folders().DatabaseFolder);
    } catch (const AppError& error) {
        allowed_.clear();
        unread += "The allowed files could not be read (" + ErrorWords(error) + ").";
    }
    ShowAllowed();
    Problem.setCaption(unread);
}

void ExclusionSettings::ShowAllowed() {
    AllowedList.clear();
    for (const AllowedFile& file : allowed_)
        AllowedList.addItem(file.name);
    if (!allowed_.empty()) AllowedList.setItemIndex(0);
    TakeBackButton.setEnabled(!allowed_.empty());
}

void ExclusionSettings::AddFolder() {
    const std::string chosen = chooseFolder ? chooseFolder() : std::string();
    if (chosen.empty()) return;
    std::string text = FoldersEdit.text();
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (!text.empty()) text += "\r\n";
    FoldersEdit.setText(text + chosen);
}

void ExclusionSettings::TakeBack() {
    const int index = AllowedList.itemIndex();
    if (index < 0 || index >= static_cast<int>(allowed_.size())) return;
    const AllowedFile file = allowed_[static_cast<std::size_t>(index)];
    try {
        TakeBackAllowed(Folders().DatabaseFolder, file);
    } catch (const AppError& error) {
        Problem.setCaption("\"" + file.name + "\" could not be taken back: " + ErrorWords(error) +
                           ".");
        return;
    }
    Problem.setCaption("");
    allowed_.erase(allowed_.begin() + index);
    ShowAllowed();
    if (!allowed_.empty())
        AllowedList.setItemIndex(std::min(index, static_cast<int>(allowed_.size()) - 1));
    if (onListsChanged) onListsChanged();
}

bool ExclusionSettings::Store() {
    const std::string folders = FoldersEdit.text();
    const std::vector<std::string> notFolders = LinesNamingNoFolder(folders);
    if (!notFolders.empty()) {
        Problem.setCaption("\"" + notFolders.front() +
                           "\" is not a folder's full path (such as C:\\Builds). Nothing was "
                           "stored.");
        form_.keyboard().focus(FoldersEdit);
        return false;
    }
    bool storedFolders = false;
    if (folders != shownFolders_) {
        try {
            StoreExcludedFolders(ParseExcludedFolders(folders));
        } catch (const AppError& error) {
            Problem.setCaption("The excluded folders could not be stored: " + ErrorWords(error) +
                               ". Nothing was stored.");
            return false;
        }
        shownFolders_ = folders;
        storedFolders = true;
    }
    const std::string ignored = IgnoredEdit.text();
    if (ignoredReadable_ && ignored != shownIgnored_) {
        try {
            SetIgnoredNames(Folders().DatabaseFolder, FieldLines(ignored));
        } catch (const AppError& error) {
            Problem.setCaption(
                "The ignored detection names could not be stored: " + ErrorWords(error) + "." +
                (storedFolders ? " The excluded folders were stored." : " Nothing was stored."));
            return false;
        }
        shownIgnored_ = ignored;
        if (onListsChanged) onListsChanged();
    }
    Problem.setCaption("");
    return true;
}

}  // namespace tolvar
