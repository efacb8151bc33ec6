#pragma once

// The Protection Settings window's exclusions, a column of three groups:
// the folders no scan enters (stored in the registry subkey "exclude"), the
// files the user allowed (local.fp in the database folder, each shown by
// its name and taken back at once with "Take Back"), and the detection
// names the scanner ignores (local.ign2). The window's OK stores the two
// lists through Store(); a line that names no folder is refused in words,
// and a list that cannot be stored is said so, with what was stored
// before it.

#include <functional>
#include <string>
#include <vector>

#include "framework/button_win.h"
#include "framework/form_win.h"
#include "framework/group_box_win.h"
#include "framework/label_win.h"
#include "framework/list_box_win.h"
#include "framework/rich_edit_win.h"
#include "quarantine/allow_list.h"

namespace tolvar {

class ExclusionSettings {
public:
    static constexpr int kWidth = 330;
    static int Height();

    // Adds the groups to form, their top left corner at (left, top).
    ExclusionSettings(Form& form, int left, int top);

    // Shows the stored lists; called as the window opens.
    void Load();
    // Stores what changed since Load(); false, with why shown in the
    // window, when something was refused or could not be stored.
    bool Store();

    // The lists in the database folder changed: the program's clamd must
    // reload to honour them (the program wires it).
    std::function<void()> onListsChanged;
    // The folder picker behind "Add Folder..."; "" when cancelled.
    std::function<std::string()> chooseFolder;

    GroupBox& FoldersGroup;  // "Excluded Folders"
    Label& FoldersHint;
    RichEdit& FoldersEdit;  // one folder a line
    Button& AddFolderButton;
    GroupBox& AllowedGroup;  // "Allowed Files"
    Label& AllowedHint;
    ListBox& AllowedList;
    Button& TakeBackButton;
    GroupBox& IgnoredGroup;  // "Ignored Detection Names"
    Label& IgnoredHint;
    RichEdit& IgnoredEdit;  // one name a line
    Label& Problem;         // why OK or Take Back did not do all it should

private:
    void AddFolder();
    void TakeBack();
    void ShowAllowed();

    Form& form_;
    std::vector<AllowedFile> allowed_;
    // The fields as Load() (or the last store) left them: an unchanged
    // field is not stored again, so that a stored value the program could
    // not read stays as it was.
    std::string shownFolders_;
    std::string shownIgnored_;
    bool ignoredReadable_ = true;
};

}  // namespace tolvar
