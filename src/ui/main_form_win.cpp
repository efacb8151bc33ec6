#include "ui/main_form_win.h"

#include "core/clock.h"
#include "core/folders.h"
#include "core/settings.h"
#include "core/utf8_text.h"
#include "core/wide_text_win.h"
#include "framework/application_win.h"
#include "history/page_figures.h"
#include "history/scan_history.h"
#include "quarantine/restore.h"
#include "quarantine/vault.h"
#include "scan/scan_state.h"
#include "ui/realtime_words.h"
#include "ui/splash_window_win.h"
#include "ui/theme_win.h"
#include "ui/tray_notice_win.h"
#include "updates/database_figures.h"

namespace tolvar {

namespace {

constexpr const char* kRealtimeItem = "Real-time Protection";

// The control takes its picture's size: page backgrounds are drawn for the
// largest size their page takes, wider than the design size of the panel.
Image& MakePicture(WindowedControl& parent, int left, int top, const char* resource) {
    Bitmap picture = LoadPictureResource(resource);
    Image& image = parent.add<Image>(left, top, picture.width(), picture.height());
    image.setPictureSource([name = std::string(resource)] { return LoadPictureResource(name); });
    return image;
}

Label& MakeCaption(WindowedControl& parent, int left, int top, const std::string& text,
                   bool bold = false) {
    Label& label = parent.add<Label>(left, top, 300, 16, text);
    label.setFont(FontSpec{theme::kFontName, theme::kFontHeight, bold});
    label.setTextColor(theme::kPageText);
    return label;
}

// What a row of the infection or vault list reads as to a screen reader:
// all it shows, the path whole.
std::string RecordRowText(const InfectionRecord* record, bool markUnremovable) {
    if (!record) return {};
    const bool unremovable = markUnremovable && !IsRemovable(*record);
    return record->VirusName + ", " + (unremovable ? "cannot be removed, " : "") + record->FilePath;
}

}  // namespace

TForm1::TForm1(MainWindowCommands& commands)
    : Form(kCaption, kClientWidth, kClientHeight),
      Image1(MakePicture(*this, 0, 0, "FORM1_IMAGE1")),
      Image2(MakePicture(*this, 0, 0, "FORM1_IMAGE2")),
      Image3(add<Image>(15, 72, 162, 89)),
      Image4(add<Image>(15, 160, 162, 89)),
      Image5(add<Image>(15, 248, 162, 89)),
      Image6(add<Image>(5, 336, 172, 97)),
      Image8(add<Image>(695, 16, 18, 18)),
      Image9(add<Image>(727, 16, 18, 18)),
      Image10(add<Image>(757, 16, 18, 18)),

      Panel1(add<Panel>(184, 48, 809, 401)),
      Panel1Backdrop(MakePicture(Panel1, 0, 0, "FORM1_PANEL1")),
      Panel2(Panel1.add<Panel>(0, 0, 609, 385)),
      Image13(MakePicture(Panel2, 0, 0, "FORM1_IMAGE13")),
      Image25(MakePicture(Panel2, layout::kTitleLeft, layout::kTitleTop, "FORM1_IMAGE25")),
      Label2(MakeCaption(Panel2, layout::kCaptionLeft, 80, "Date:")),
      Label3(MakeCaption(Panel2, layout::kCaptionLeft, 108, "Infections Found:")),
      Label4(MakeCaption(Panel2, layout::kCaptionLeft, 136, "Items Scanned:")),
      Label5(MakeCaption(Panel2, layout::kCaptionLeft, 164, "Infections Removed:")),
      Label6(MakeCaption(Panel2, layout::kValueLeft, 80, "", true)),
      Label7(MakeCaption(Panel2, layout::kValueLeft, 108, "", true)),
      Label8(MakeCaption(Panel2, layout::kValueLeft, 136, "", true)),
      Label9(MakeCaption(Panel2, layout::kValueLeft, 164, "", true)),
      Panel3(Panel1.add<Panel>(0, 0, 649, 373)),
      Image14(MakePicture(Panel3, 0, 0, "FORM1_IMAGE14")),
      Label10(MakeCaption(Panel3, 16, 16, "Scanning:")),
      Label11(MakeCaption(Panel3, 453, 16, "0%", true)),
      Image15(Panel3.add<Image>(16, 40, 537, 13)),
      Label40(MakeCaption(Panel3, 16, 62, "Items Scanned: 0")),
      Label12(MakeCaption(Panel3, 300, 62, "Infections Found: 0")),
      Image29(MakePicture(Panel3, 16, 88, "FORM1_IMAGE29")),
      edtInfections(Panel3.add<ListBox>(16, 112, 573, 121, SelectionMode::Single, 13)),
      Image16(Panel3.add<Image>(layout::kCommandLeft, layout::kCommandTop, layout::kCommandWidth,
                                layout::kCommandHeight)),
      Image17(Panel3.add<Image>(layout::kCommandLeft + layout::kCommandStep, layout::kCommandTop,
                                layout::kCommandWidth, layout::kCommandHeight)),
      Image18(Panel3.add<Image>(layout::kCommandLeft + 2 * layout::kCommandStep,
                                layout::kCommandTop, layout::kCommandWidth,
                                layout::kCommandHeight)),
      Image19(Panel3.add<Image>(layout::kCommandLeft + 3 * layout::kCommandStep,
                                layout::kCommandTop, layout::kCommandWidth,
                                layout::kCommandHeight)),
      Image20(Panel3.add<Image>(layout::kCommandLeft + 4 * layout::kCommandStep,
                                layout::kCommandTop, layout::kCommandWidth,
                                layout::kCommandHeight)),

      Panel4(add<Panel>(kClientWidth - 1, kClientHeight - 1, 649, 365)),
      Image21(MakePicture(Panel4, 0, 0, "FORM1_IMAGE21")),
      Image26(MakePicture(Panel4, layout::kTitleLeft, layout::kTitleTop, "FORM1_IMAGE26")),
      Label14(MakeCaption(Panel4, layout::kCaptionLeft, 56, "Date:")),
      Label15(MakeCaption(Panel4, layout::kCaptionLeft, 76, "Infections Found:")),
      Label16(MakeCaption(Panel4, layout::kCaptionLeft, 96, "Items Scaned:")),
      Label17(MakeCaption(Panel4, layout::kCaptionLeft, 116, "Infections Removed:")),
      Label18(MakeCaption(Panel4, layout::kValueLeft, 56, "", true)),
      Label19(MakeCaption(Panel4, layout::kValueLeft, 76, "", true)),
      Label20(MakeCaption(Panel4, layout::kValueLeft, 96, "", true)),
      Label21(MakeCaption(Panel4, layout::kValueLeft, 116, "", true)),

      Panel5(add<Panel>(kClientWidth - 1, kClientHeight - 1, 609, 377)),
      Image22(MakePicture(Panel5, 0, 0, "FORM1_IMAGE22")),
      Image27(MakePicture(Panel5, layout::kTitleLeft, layout::kTitleTop, "FORM1_IMAGE27")),
      Image28(MakePicture(Panel5, layout::kTitleLeft, 164, "FORM1_IMAGE28")),
      Label23(MakeCaption(Panel5, layout::kCaptionLeft, 56, "Number of Scans:")),
      Label24(MakeCaption(Panel5, layout::kCaptionLeft, 80, "Total Number of Infections Found:")),
      Label25(MakeCaption(Panel5, layout::kCaptionLeft, 104, "Total Number of Scanned Items:")),
      Label26(
          MakeCaption(Panel5, layout::kCaptionLeft, 128, "Total Number of Infections Removed:")),
      Label27(MakeCaption(Panel5, layout::kCaptionLeft, 208, "Date:")),
      Label28(MakeCaption(Panel5, layout::kCaptionLeft, 232, "Infections Found:")),
      Label29(MakeCaption(Panel5, layout::kCaptionLeft, 256, "Items Scaned:")),
      Label30(MakeCaption(Panel5, layout::kCaptionLeft, 280, "Infections Removed:")),
      Label32(MakeCaption(Panel5, layout::kHistoryValueLeft, 56, "", true)),
      Label33(MakeCaption(Panel5, layout::kHistoryValueLeft, 80, "", true)),
      Label34(MakeCaption(Panel5, layout::kHistoryValueLeft, 104, "", true)),
      Label35(MakeCaption(Panel5, layout::kHistoryValueLeft, 128, "", true)),
      Label36(MakeCaption(Panel5, layout::kHistoryValueLeft, 208, "", true)),
      Label37(MakeCaption(Panel5, layout::kHistoryValueLeft, 232, "", true)),
      Label38(MakeCaption(Panel5, layout::kHistoryValueLeft, 256, "", true)),
      Label39(MakeCaption(Panel5, layout::kHistoryValueLeft, 280, "", true)),

      Panel6(add<Panel>(kClientWidth - 1, kClientHeight - 1, 649, 377)),
      Image23(MakePicture(Panel6, 0, 0, "FORM1_IMAGE23")),
      Image32(MakePicture(Panel6, 32, 40, "FORM1_IMAGE32")),
      Image33(MakePicture(Panel6, 32, 128, "FORM1_IMAGE33")),
      Label13(MakeCaption(Panel6, 40, 72, "Last Update:")),
      lblUpdate(MakeCaption(Panel6, 136, 72, "", true)),
      Label22(MakeCaption(Panel6, 40, 104, "Update Size:")),
      lblSize(MakeCaption(Panel6, 136, 104, "", true)),
      Label41(MakeCaption(Panel6, 272, 72, "Total Updates")),
      lblUpdates(MakeCaption(Panel6, 368, 72, "", true)),
      Image36(Panel6.add<Image>(488, 64, 105, 25)),
      Image37(Panel6.add<Image>(488, 96, 105, 25)),
      Image30(MakePicture(Panel6, 24, 160, "FORM1_IMAGE30")),
      edtVirusDB(Panel6.add<ListBox>(24, 186, 573, 63, SelectionMode::Multiple, 16)),
      Image34(Panel6.add<Image>(24, 264, 89, 25)),
      Image35(Panel6.add<Image>(120, 264, 89, 25)),
      Image38(Panel6.add<Image>(216, 264, 89, 25)),
      Image39(Panel6.add<Image>(312, 264, 89, 25)),

      Image12(Panel2.add<Image>(8, 320, 185, 49)),
      Image11(Panel2.add<Image>(216, 320, 185, 49)),
      Image7(Panel2.add<Image>(416, 320, 217, 49)),

      Timer1(100, false),
      Timer2(6000, true),
      Timer3(1000, true),
      commands_(commands) {
    Panel5.hide();
    Label11.setAlignment(TextAlign::Right);
    Label11.setSize(100, 16);
    WireButtons();
    WireDragSurfaces();
    WireKeyboard();
    BuildCommandMenu();
    contextMenu = &PopupMenu1;
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::WireButtons() {
    const struct {
        int slot;
        Image& control;
        const char* hint;
    } buttons[] = {
        {slot::kScanPage, Image3, "Scan"},
        {slot::kResultsPage, Image4, "Results"},
        {slot::kHistoryPage, Image5, "History"},
        {slot::kDatabasePage, Image6, "Virus Database"},
        {slot::kClose, Image10, "Close"},
        {slot::kMinimize, Image9, "Minimize"},
        {slot::kOptions, Image8, "Options"},
        {slot::kAbout, Image7, ""},
        {slot::kChooseFolders, Image11, ""},
        {slot::kScanDrives, Image12, ""},
        {slot::kStartScan, Image16, "Start Scan"},
        {slot::kPauseScan, Image17, "Pause Scanning"},
        {slot::kResumeScan, Image18, "Resume Scanning"},
        {slot::kStopScan, Image19, "Stop Scanning"},
        {slot::kRemoveInfections, Image20, "Remove Found Infections"},
        {slot::kRestoreToOriginal, Image34, "Restore file to original location"},
        {slot::kRestoreToFolder, Image35, "Restore file to a seleteced location"},
        {slot::kDeleteFromVault, Image38, "Delete from vault"},
        {slot::kRestoreAndAllow, Image39, "Restore and allow"},
        {slot::kCheckNow, Image36, "Check Now for updates"},
        {slot::kDatabaseSettings, Image37, "Virus Database Settings"},
    };
    for (const auto& b : buttons) {
        skin_.Bind(b.slot, b.control);
        b.control.setHint(b.hint);
    }
    skin_.BindProgressBar(Image15);

    Image3.onClick = [this] { Image3Click(); };
    Image4.onClick = [this] { SwitchToPage(Page::Results); };
    Image5.onClick = [this] { SwitchToPage(Page::History); };
    Image6.onClick = [this] { Action2Execute(); };
    Image36.onClick = [this] { OpenDatabaseUpdates(); };
    Image37.onClick = [this] { commands_.OpenDatabaseSettings(); };
    Image8.onClick = [this] { Image8Click(); };
    Image9.onClick = [] { Application::instance().minimize(); };
    Image10.onClick = [this] { Image10Click(); };
    Image16.onClick = [this] { Action1Execute(); };
    Image17.onClick = [this] { commands_.PauseScan(); };
    Image18.onClick = [this] { commands_.ResumeScan(); };
    Image19.onClick = [this] { commands_.StopScan(); };
    Image20.onClick = [this] { commands_.RemoveInfections(); };
    Image34.onClick = [this] { vaultList_.RestoreToOriginal(); };
    Image35.onClick = [this] { vaultList_.RestoreToFolder(); };
    Image38.onClick = [this] { vaultList_.DeleteFromVault(); };
    Image39.onClick = [this] { vaultList_.RestoreAndAllow(); };
    edtVirusDB.onDrawItem = [this](HDC dc, const ListRow& row) { vaultList_.DrawRow(dc, row); };
    Image11.onClick = [this] { Image11Click(); };
    Image12.onClick = [this] {
        if (!ScanIsScanning()) Action1Execute();
    };
    Image7.onClick = [this] { commands_.ShowAbout(); };
    edtInfections.onDrawItem = [this](HDC dc, const ListRow& row) { DrawInfectionRow(dc, row); };

    Timer1.onTimer = [this] { skin_.PaintProgressBar(1); };
    Timer2.onTimer = [this] { commands_.CheckForUpdates(); };
    Timer3.onTimer = [this] {
        // The splash, if one lingers, is closed here; then this timer is done.
        if (splash_ && splash_->visible()) splash_->close();
        Timer3.setEnabled(false);
    };
}

void TForm1::WireDragSurfaces() {
    // Pressing these surfaces with the left button moves the window (the
    // right button opens the command menu; a move started by it would follow
    // the mouse after the menu closed); moving over them clears the hover of
    // the button the mouse left.
    for (Image* surface :
         {&Image1, &Image2, &Image13, &Image14, &Image21, &Image22, &Image23, &Image29, &Image30}) {
        surface->onMouseDown = [this](MouseButton button, int, int) {
            if (button == MouseButton::Left) StartWindowDrag();
        };
        surface->onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
    }
    // Panel1 shows its backdrop picture below the shorter views; the
    // picture is part of the panel's surface.
    for (Control* panel1 :
         {static_cast<Control*>(&Panel1), static_cast<Control*>(&Panel1Backdrop)}) {
        panel1->onMouseDown = [this](MouseButton button, int, int) {
            if (button == MouseButton::Left) StartWindowDrag();
        };
        panel1->onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
    }
    edtInfections.onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
    edtInfections.onMouseDown = [this](MouseButton, int, int) { edtInfections.invalidate(); };
    edtVirusDB.onMouseMove = [this](int, int) { skin_.HoverSlot(SlotTable::None); };
}

void TForm1::WireKeyboard() {
    KeyboardFocus& keys = keyboard();
    // The page buttons, the open page's own controls, its footer, then the
    // top bar; the arrow keys move along each row of buttons.
    keys.setTabOrder({&Image3,  &Image4,  &Image5,  &Image6,  &Image16,   &Image17,
                      &Image18, &Image19, &Image20, &Image36, &Image37,   &edtInfections,
                      &Image34, &Image35, &Image38, &Image39, &Image12,   &Image11,
                      &Image7,  &Image8,  &Image9,  &Image10, &edtVirusDB});
    keys.addArrowGroup({&Image3, &Image4, &Image5, &Image6});
    keys.addArrowGroup({&Image16, &Image17, &Image18, &Image19, &Image20});
    keys.addArrowGroup({&Image36, &Image37});
    keys.addArrowGroup({&Image34, &Image35, &Image38, &Image39});
    keys.addArrowGroup({&Image12, &Image11, &Image7});
    keys.addArrowGroup({&Image8, &Image9, &Image10});

    // A command that would do nothing in this scan state says so.
    Image16.accessible.unavailable = [] { return ScanIsScanning(); };
    Image17.accessible.unavailable = [] { return !ScanIsScanning(); };
    Image18.accessible.unavailable = [] { return !ScanIsPaused(); };
    Image19.accessible.unavailable = [] { return !ScanIsScanning(); };
    Image12.accessible.unavailable = [] { return ScanIsScanning(); };
    Image11.accessible.unavailable = [] { return ScanIsScanning(); };
    Image36.accessible.unavailable = [] { return !ScanIsIdle(); };

    Image15.accessible.name = "Scan progress";
    edtInfections.accessible.name = "Infections";
    edtVirusDB.accessible.name = "Quarantine vault";
    edtInfections.onRowText = [this](int row) { return RecordRowText(scanPage_.Row(row), true); };
    edtVirusDB.onRowText = [](int row) {
        const bool valid = row >= 0 && row < Vault().Count();
        if (!valid) return std::string();
        const InfectionRecord& record = Vault().Record(row + 1);
        const std::string date = VaultedDateOf(record.VaultPath);
        return RecordRowText(&record, false) + (date.empty() ? "" : ", vaulted " + date);
    };
    const std::pair<Panel*, const char*> pages[] = {
        {&Panel1, "Scan"}, {&Panel4, "Results"}, {&Panel5, "History"}, {&Panel6, "Virus Database"}};
    for (const auto& [panel, name] : pages)
        panel->accessible.name = name;
}

void TForm1::AnnounceCommandStates() {
    for (Image* command : {&Image16, &Image17, &Image18, &Image19, &Image12, &Image11, &Image36})
        command->announce(EVENT_OBJECT_STATECHANGE);
}

void TForm1::BuildCommandMenu() {
    PopupMenu1.add("Start Scan", [this] { Action1Execute(); });
    PopupMenu1.add("Virus Database", [this] { Action2Execute(); });
    PopupMenu1.add("Virus Database Updates", [this] { OpenDatabaseUpdates(); });
    PopupMenu1.add("Virus Database Settings", [this] { commands_.OpenDatabaseSettings(); });
    PopupMenu1.add("Protection Settings", [this] { commands_.OpenProtectionSettings(); });
    PopupMenu1.add(kRealtimeItem, [this] { commands_.ToggleRealtimeProtection(); });
    PopupMenu1.addSeparator();
    PopupMenu1.add("Minimize to System Tray", [this] { MinimizeToTray(); });
    PopupMenu1.addSeparator();
    PopupMenu1.add("About", [this] { commands_.ShowAbout(); });
    PopupMenu1.addSeparator();
    PopupMenu1.add("Exit", [this] { ExitProgram(); });
}

void TForm1::FormCreate() {
    // Below the shorter pages the window's own colour shows.
    for (WindowedControl* surface :
         {static_cast<WindowedControl*>(this), static_cast<WindowedControl*>(&Panel1),
          static_cast<WindowedControl*>(&Panel4), static_cast<WindowedControl*>(&Panel5),
          static_cast<WindowedControl*>(&Panel6)}) {
        surface->setColor(theme::kWindowBackground);
    }
    setRounded(true);
    setAppWindow(true);
    centreOnScreen();
    // The program runs elevated; the shell does not. Its messages to the
    // tray icon and its new taskbar's notice must still come through.
    for (UINT message : {TrayCallbackMessage, TaskbarCreatedMessage()})
        ChangeWindowMessageFilterEx(handle(), message, MSGFLT_ALLOW, nullptr);
}

void TForm1::ShowStartPage() {
    CurrentPage = Page::Scan;
    ScanView = ScanPageView::Summary;
    SelectedPage = Page::Scan;
    vaultList_.ShowVaultRows(Vault());
    skin_.LoadSkin(Folders().ProgramFolder);
    ShowPage();
}

void TForm1::Action1Execute() {
    commands_.StartScan();
    // Once a scan ran, the scheduled update check is not wanted this run.
    StopUpdateCheck();
}

void TForm1::Image11Click() {
    if (ScanIsScanning()) return;
    commands_.ChooseFoldersToScan();
    StopUpdateCheck();
}

void TForm1::MinimizeToTray() {
    Application::instance().minimize();
    SysMin();
}

void TForm1::SysMin() {
    Application& app = Application::instance();
    HWND owner = app.ownerWindow();
    if (!hiddenInTray_) trayHidOwner_ = IsWindowVisible(owner) != FALSE;
    // An icon kept up beside the window serves as it is.
    if (!tray_.isUp() && !tray_.add(handle(), app.icon(), TrayTip())) {
        // Without an icon nothing would lead back to hidden windows: the
        // program stays on the taskbar, minimised.
        show();
        if (trayHidOwner_) ShowWindow(owner, SW_SHOW);
        return;
    }
    hiddenInTray_ = true;
    ShowWindow(owner, SW_HIDE);
    // This window has a taskbar button of its own, which must go too, and so
    // must the splash's minimised stand-in: only the tray icon stands for the
    // program now.
    hide();
    if (splash_ && !splash_->visible()) ShowWindow(splash_->handle(), SW_HIDE);
    ReleaseHiddenPictures();
}

void TForm1::ReleaseHiddenPictures() {
    // Decoded again when the window is next painted.
    ReleaseResourcePictures(*this);
    if (splash_ && !splash_->visible()) ReleaseResourcePictures(*splash_);
}

void TForm1::StartInTray() {
    Application& app = Application::instance();
    HWND owner = app.ownerWindow();
    trayHidOwner_ = IsWindowVisible(owner) != FALSE;
    if (!tray_.isUp() && !tray_.add(handle(), app.icon(), TrayTip())) {
        // At logon the shell may not have its notification area yet: the
        // window waits on the taskbar, minimised, instead.
        show();
        ShowWindow(handle(), SW_SHOWMINNOACTIVE);
        return;
    }
    hiddenInTray_ = true;
    ShowWindow(owner, SW_HIDE);
    ReleaseHiddenPictures();
}

void TForm1::CloseCommand() {
    if (!realtimeWanted_) {
        ExitProgram();
        return;
    }
    MinimizeToTray();
    if (hiddenInTray_ && TakeFirstTrayNotice()) {
        ShowBalloon("Tolvar AntiVirus",
                    "Tolvar AntiVirus keeps protecting your files from here. Choose Exit in its "
                    "menu to end it.",
                    BalloonIcon::Info);
    }
}

void TForm1::ExitProgram() {
    // No skin button may repaint while the window goes away.
    skin_.Slots().SuppressPainting();
    close();
}

std::string TForm1::TrayTip() const {
    const std::string title = Application::instance().title();
    return realtimeKnown_ ? RealtimeTip(title, realtimeWanted_, realtimeActive_) : title;
}

void TForm1::ShowRealtimeState(bool wanted, bool active) {
    realtimeKnown_ = true;
    realtimeWanted_ = wanted;
    realtimeActive_ = active;
    if (PopupMenu::Item* item = PopupMenu1.find(kRealtimeItem)) item->checked = wanted;
    tray_.setTip(TrayTip());
    if (wanted && !tray_.isUp()) {
        tray_.add(handle(), Application::instance().icon(), TrayTip());
    } else if (!wanted && tray_.isUp() && !hiddenInTray_) {
        // The icon beside the window was real-time protection's; the icon of
        // a hidden window stays, the one way back to it.
        tray_.remove();
    }
}

void TForm1::ShowBalloon(const std::string& title, const std::string& text, BalloonIcon icon) {
    if (!tray_.isUp()) tray_.add(handle(), Application::instance().icon(), TrayTip());
    tray_.showBalloon(title, text, icon);
}

UINT TForm1::BringToFrontMessage() {
    static const UINT message = RegisterWindowMessageA("Mirebrook.TolvarAntiVirus.BringToFront");
    return message;
}

LRESULT TForm1::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == TrayCallbackMessage) {
        TrayEvent(lp);
        return 0;
    }
    if (msg == BringToFrontMessage()) {
        ComeForward();
        return kBroughtToFront;
    }
    if (msg == WM_CLOSE) {
        // Alt+F4 and the system menu's Close, as the Close button.
        CloseCommand();
        return 0;
    }
    if (msg == TaskbarCreatedMessage()) {
        // A new taskbar shows none of the old icons: without this one the
        // hidden program could not be reached at all.
        if (tray_.isUp()) {
            tray_.addAgain();
        } else if (realtimeWanted_) {
            // A start at logon may come before the taskbar: real-time
            // protection's icon goes up once it is there.
            tray_.add(handle(), Application::instance().icon(), TrayTip());
        }
        return 0;
    }
    return Form::handleMessage(msg, wp, lp);
}

void TForm1::TrayEvent(LPARAM mouseEvent) {
    if (TrayEventRestores(mouseEvent)) ComeBack();
}

void TForm1::ComeBack() {
    const bool fromTray = hiddenInTray_;
    hiddenInTray_ = false;
    show();
    // While real-time protection is wanted its icon stays beside the window.
    if (!realtimeWanted_) tray_.remove();
    if (fromTray && trayHidOwner_) ShowWindow(Application::instance().ownerWindow(), SW_SHOW);
    Application::instance().restore();
    if (fromTray && onComeBack) onComeBack();
}

void TForm1::ComeForward() {
    ComeBack();
    SetForegroundWindow(handle());
}

namespace {

// Rows alternate light grey and white; the detection name, then the path.
// A detection that names no file it could act on says so, in red.
void DrawRecordRow(HDC dc, const ListRow& row, const InfectionRecord* record, std::size_t pathChars,
                   bool markUnremovable) {
    const int r = row.index;
    UniqueBrush brush(CreateSolidBrush(r % 2 ? RGB(255, 255, 255) : RGB(233, 233, 233)));
    FillRect(dc, &row.rect, brush.get());
    if (!record) return;
    const bool unremovable = markUnremovable && !IsRemovable(*record);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, unremovable ? RGB(176, 0, 0) : RGB(128, 128, 128));
    // Wide: GDI would read UTF-8 "A" text in the font's code page.
    const std::wstring name = Utf8ToWide(Utf8FirstChars(record->VirusName, 55));
    const std::wstring path = Utf8ToWide(std::string(unremovable ? "(cannot be removed) " : "") +
                                         std::string(Utf8FirstChars(record->FilePath, pathChars)));
    TextOutW(dc, row.rect.left + 10, row.rect.top, name.c_str(), static_cast<int>(name.size()));
    TextOutW(dc, row.rect.left + 280, row.rect.top, path.c_str(), static_cast<int>(path.size()));
}

}  // namespace

void TForm1::DrawInfectionRow(HDC dc, const ListRow& row) {
    DrawRecordRow(dc, row, scanPage_.Row(row.index), 55, true);
}

void TForm1::Image3Click() {
    if (ScanIsIdle()) ScanView = ScanPageView::Summary;  // a running scan keeps its progress view
    SwitchToPage(Page::Scan);
}

void TForm1::OpenDatabaseUpdates() {
    if (ScanIsIdle()) commands_.OpenDatabaseUpdates();
}

void TForm1::Action2Execute() {
    const DatabaseFigures figures = DatabaseFiguresOf(Settings(), &ShortDateOf);
    lblSize.setCaption(figures.updateSize);
    lblUpdate.setCaption(figures.lastUpdate);
    lblUpdates.setCaption(figures.totalUpdates);
    vaultList_.ShowVaultRows(Vault());
    SwitchToPage(Page::VirusDatabase);
}

void TForm1::Image8Click() {
    POINT corner{Image8.bounds().left, Image8.bounds().top};
    ClientToScreen(handle(), &corner);
    PopupMenu1.popup(handle(), corner.x, corner.y);
}

void TForm1::Image10Click() {
    CloseCommand();
}

void TForm1::SelectPageButton(Page page) {
    skin_.Slots().Select(static_cast<int>(SelectedPage), false);
    SelectedPage = page;
    skin_.Slots().Select(static_cast<int>(page), true);
}

void TForm1::SwitchToPage(Page page) {
    CurrentPage = page;
    ShowPage();
    SelectPageButton(page);
}

void TForm1::ShowScanProgress() {
    CurrentPage = Page::Scan;
    ShowPage();
    ScanView = ScanPageView::Progress;
    ShowScanView();
    // A scan started from another page brings its highlight along, or the
    // page shown and the page lit would differ.
    SelectPageButton(Page::Scan);
}

namespace {

void ShowLastScan(const LastScanFigures& figures, Label& date, Label& found, Label& items,
                  Label& removed) {
    date.setCaption(figures.date);
    found.setCaption(figures.infectionsFound);
    items.setCaption(figures.itemsScanned);
    removed.setCaption(figures.infectionsRemoved);
}

}  // namespace

void TForm1::ShowPage() {
    // The footer buttons (and on the Results page the infection list with
    // its header) move onto whichever page shows.
    const auto moveFooter = [this](WindowedControl& page) {
        Image7.setParent(page);
        Image11.setParent(page);
        Image12.setParent(page);
    };
    switch (CurrentPage) {
        case Page::Scan:
            ShowScanView();
            Panel1.setPosition(178, 47);
            Image29.setPosition(16, 88);
            edtInfections.setPosition(16, 112);
            Panel4.setSize(Panel3.bounds().width, Panel3.bounds().height);
            edtInfections.setParent(Panel3);
            break;
        case Page::Results:
            ShowLastScan(LastScanFiguresOf(Statistics()), Label18, Label19, Label20, Label21);
            edtInfections.setParent(Panel4);
            Image29.setParent(Panel4);
            moveFooter(Panel4);
            edtInfections.setPosition(25, 163);
            Image29.setPosition(25, 138);
            Panel4.setPosition(178, 47);
            break;
        case Page::History: {
            const HistoryFigures figures = HistoryFiguresOf(Statistics());
            Label32.setCaption(figures.scanCount);
            Label33.setCaption(figures.totalInfectionsFound);
            Label34.setCaption(figures.totalItemsScanned);
            Label35.setCaption(figures.totalInfectionsRemoved);
            ShowLastScan(figures.lastScan, Label36, Label37, Label38, Label39);
            Panel5.setPosition(178, 47);
            moveFooter(Panel5);
            Panel5.setSize(Panel3.bounds().width, Panel3.bounds().height - 10);
            break;
        }
        case Page::VirusDatabase:
            Panel6.setPosition(178, 47);
            moveFooter(Panel6);
            break;
    }
    // One page shows at a time.
    const std::pair<Page, Panel*> pages[] = {
        {Page::Scan, &Panel1},
        {Page::Results, &Panel4},
        {Page::History, &Panel5},
        {Page::VirusDatabase, &Panel6},
    };
    for (const auto& [page, panel] : pages) {
        if (page == CurrentPage) {
            panel->show();
        } else {
            panel->hide();
        }
    }
}

void TForm1::ShowScanView() {
    switch (ScanView) {
        case ScanPageView::Summary:
            Image7.setParent(Panel2);
            Image11.setParent(Panel2);
            Image12.setParent(Panel2);
            ShowLastScan(LastScanFiguresOf(Statistics()), Label6, Label7, Label8, Label9);
            Panel2.setPosition(0, 0);
            Panel2.show();
            Panel3.hide();
            Panel2.setSize(Panel3.bounds().width, Panel3.bounds().height - 10);
            break;
        case ScanPageView::Progress:
            Image7.setParent(Panel3);
            Image11.setParent(Panel3);
            Image12.setParent(Panel3);
            Panel1.setSize(Panel3.bounds().width, Panel1.bounds().height);
            Image29.setParent(Panel3);
            Panel3.setPosition(0, 0);
            Panel3.show();
            Panel2.hide();
            break;
    }
}

}  // namespace tolvar
