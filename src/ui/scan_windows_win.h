#pragma once

// The windows of the scan commands: the stop confirmation before a removal,
// and the chooser of the folders to scan.

#include <functional>
#include <string>
#include <vector>

#include "framework/button_win.h"
#include "framework/list_box_win.h"
#include "ui/message_window_win.h"

namespace tolvar {

class ScanSession;

class TForm3 : public MessageWindow {
public:
    TForm3(Skin& skin, ScanSession& scan);
    Label& Label1;
    Image& Image3;  // left: stop the scan
    Image& Image2;  // right: keep scanning
};

class TForm16 : public MessageWindow {
public:
    TForm16(Skin& skin, ScanSession& scan);

    Label& Label1;
    ListBox& ListBox1;
    Button& Button1;  // "Add Directory"
    Button& Button2;  // "Remove Selected"
    Image& Image2;    // start the scan
    Image& Image3;    // close

    // The folder picker; tests replace it.
    std::function<std::string()> chooseFolder;

    // The folders to scan, each ending with a backslash. Start scans them
    // and keeps them as the folders last chosen (for a scheduled scan).
    std::vector<std::string> ChosenFolders() const;

private:
    void FillDrives();
    void AddDirectory();
    void RemoveSelected();
    void Start();

    ScanSession& scan_;
};

}  // namespace tolvar
