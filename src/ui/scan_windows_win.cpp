#include "ui/scan_windows_win.h"

#include <exception>

#include "framework/application_win.h"
#include "protection/scan_schedule_store_win.h"
#include "scan/choose_folder.h"
#include "scan/scan_session_win.h"

namespace tolvar {

TForm3::TForm3(Skin& skin, ScanSession& scan)
    : MessageWindow("Stop Scan", "FORM3", 4, skin, false),
      Label1(AddText(16, 58, clientWidth() - 34, 20, "Do you want to stop the scanning proccess?")),
      Image3(AddButton(slot::kStopQuestionYes, 39, 93)),
      Image2(AddButton(slot::kStopQuestionNo, 156, 93)) {
    Label1.setAlignment(TextAlign::Center);
    Image3.onClick = [this, &scan] {
        scan.StopScan();
        close();
    };
    Image2.onClick = [this] { close(); };
    keyboard().setDefaultButton(&Image3);
    keyboard().setCancelButton(&Image2);
}

// Not on top of every window: the folder picker opens in front of it.
TForm16::TForm16(Skin& skin, ScanSession& scan)
    : MessageWindow("Directories to scan", "FORM16", 4, skin, false),
      Label1(AddText(16, 50, 200, 16, "Directories to scan:")),
      ListBox1(add<ListBox>(16, 68, 335, 98, SelectionMode::Multiple, 16)),
      Button1(add<Button>(16, 173, 110, 23, "Add Directory")),
      Button2(add<Button>(133, 173, 110, 23, "Remove Selected")),
      Image2(AddButton(slot::kChooserStart, 72, 219)),
      Image3(AddButton(slot::kChooserClose, 189, 219)),
      chooseFolder([] { return ChooseFolder("Select a Folder", 1); }),
      scan_(scan) {
    onShow = [this] { FillDrives(); };
    Button1.onClick = [this] { AddDirectory(); };
    Button2.onClick = [this] { RemoveSelected(); };
    Image2.onClick = [this] { Start(); };
    Image3.onClick = [this] { close(); };
    ListBox1.onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
    ListBox1.accessible.name = "Directories to scan";
    keyboard().setDefaultButton(&Image2);
    keyboard().setCancelButton(&Image3);
}

void TForm16::FillDrives() {
    ListBox1.clear();
    for (const std::string& root : scan_.fixedDrives())
        ListBox1.addItem(root);
}

void TForm16::AddDirectory() {
    const std::string folder = chooseFolder();
    if (!folder.empty()) ListBox1.addItem(folder);
}

void TForm16::RemoveSelected() {
    if (ListBox1.itemIndex() < 0) return;
    const std::vector<int> selected = ListBox1.selectedIndexes();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        ListBox1.deleteItem(*it);
}

std::vector<std::string> TForm16::ChosenFolders() const {
    std::vector<std::string> folders;
    for (int i = 0; i < ListBox1.count(); ++i) {
        std::string folder = ListBox1.item(i);
        if (folder.empty() || folder.back() != '\\') folder += '\\';
        folders.push_back(folder);
    }
    return folders;
}

void TForm16::Start() {
    if (ListBox1.count() == 0) {
        close();
        return;
    }
    const std::vector<std::string> folders = ChosenFolders();
    scan_.StartChosenScan(folders);
    close();
    // The scheduled scan of "the folders last chosen" scans these. The scan
    // runs whether or not they could be kept; the error report says why.
    try {
        StoreLastChosenFolders(folders);
    } catch (const std::exception&) {
        Application::instance().reportException(std::current_exception());
    }
}

}  // namespace tolvar
