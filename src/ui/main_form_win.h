#pragma once

// The main window: a borderless, rounded, skinned window with four page
// buttons on the left, Options, Minimize and Close at the top right, and one
// page at a time in the middle.

#include "framework/form_win.h"
#include "framework/image_win.h"
#include "framework/label_win.h"
#include "framework/list_box_win.h"
#include "framework/panel_win.h"
#include "framework/popup_menu_win.h"
#include "framework/timer_win.h"
#include "scan/scan_session_win.h"
#include "ui/skin_win.h"
#include "ui/tray_icon_win.h"

namespace tolvar {

class TForm1 : public Form {
public:
    static constexpr int kClientWidth = 792;
    static constexpr int kClientHeight = 442;

    TForm1();
    ~TForm1() override;

    // Page switching.
    int CurrentPage = 1;   // 1 Scan, 2 Results, 3 History, 4 Virus Database
    int ScanView = 1;      // 1 summary, 2 progress
    int SelectedPage = 1;  // slot of the highlighted page button
    void ShowPage();
    void ShowScanView();
    void SelectPageButton(int n);
    void StartWindowDrag() { beginDrag(); }

    // Shows and fills the Virus Database page.
    void Action2Execute();
    // Opens the download window modally, only while no scan runs.
    void OpenDatabaseUpdates();
    void OpenDatabaseSettings();
    // "Minimize to System Tray": the window gives way to a tray icon, which
    // brings it back with a left or right button press.
    void MinimizeToTray();
    // Adds the tray icon and hides the application's windows; without an
    // icon they stay, or nothing would lead back to the program.
    void SysMin();
    const TrayIcon& tray() const { return tray_; }

    Skin& skin() { return skin_; }
    ScanSession& scan() { return scan_; }

    // The skin is the first member: the controls bind to it as they are made.
    Skin skin_;

    // The window's own controls.
    Image& Image1;   // background
    Image& Image2;   // logo
    Image& Image3;   // page button "Scan"
    Image& Image4;   // page button "Results"
    Image& Image5;   // page button "History"
    Image& Image6;   // page button "Virus Database"
    Image& Image8;   // "Options"
    Image& Image9;   // "Minimize"
    Image& Image10;  // "Close"

    // Page 1, Scan, with its two views.
    Panel& Panel1;
    Image& Panel1Backdrop;  // below the views, which are shorter than the page
    Panel& Panel2;          // summary view
    Image& Image13;
    Image& Image25;
    Label& Label2;
    Label& Label3;
    Label& Label4;
    Label& Label5;
    Label& Label6;
    Label& Label7;
    Label& Label8;
    Label& Label9;
    Panel& Panel3;  // progress view
    Image& Image14;
    Label& Label10;  // current item
    Label& Label11;  // percentage
    Image& Image15;  // progress bar
    Label& Label40;  // items scanned
    Label& Label12;  // infections found
    Image& Image29;  // infection list header
    ListBox& edtInfections;
    Image& Image16;  // "Start Scan"
    Image& Image17;  // "Pause Scanning"
    Image& Image18;  // "Resume Scanning"
    Image& Image19;  // "Stop Scanning"
    Image& Image20;  // "Remove Found Infections"

    // Page 2, Results.
    Panel& Panel4;
    Image& Image21;
    Image& Image26;
    Label& Label14;
    Label& Label15;
    Label& Label16;
    Label& Label17;
    Label& Label18;
    Label& Label19;
    Label& Label20;
    Label& Label21;

    // Page 3, History.
    Panel& Panel5;
    Image& Image22;
    Image& Image27;
    Image& Image28;
    Label& Label23;
    Label& Label24;
    Label& Label25;
    Label& Label26;
    Label& Label27;
    Label& Label28;
    Label& Label29;
    Label& Label30;
    Label& Label32;
    Label& Label33;
    Label& Label34;
    Label& Label35;
    Label& Label36;
    Label& Label37;
    Label& Label38;
    Label& Label39;

    // Page 4, Virus Database.
    Panel& Panel6;
    Image& Image23;
    Image& Image32;  // title of the database figures
    Image& Image33;  // title of the quarantine vault
    Label& Label13;  // "Last Update:"
    Label& lblUpdate;
    Label& Label22;  // "Update Size:"
    Label& lblSize;
    Label& Label41;  // "Total Updates"
    Label& lblUpdates;
    Image& Image36;  // "Check Now for updates"
    Image& Image37;  // "Virus Database Settings"
    Image& Image30;  // vault list header
    ListBox& edtVirusDB;
    Image& Image34;  // "Restore file to original location"
    Image& Image35;  // "Restore file to a seleteced location"

    // Footer buttons, moved onto whichever page or view is showing.
    Image& Image12;  // scan all fixed drives
    Image& Image11;  // choose folders to scan
    Image& Image7;   // About

    Timer Timer1;  // repaints the progress bar while a scan runs
    Timer Timer2;  // the scheduled update check
    Timer Timer3;  // closes a lingering splash
    PopupMenu PopupMenu1;

    // The scan shown on the Scan page; made after the controls it drives.
    ScanSession scan_;

    // The folder picker of the restore command; tests replace it.
    std::function<std::string()> chooseFolder;
    // A question or notice in a message box; tests replace it.
    std::function<int(const std::string& text, unsigned flags)> messageBox;

protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormCreate();
    void FormClose();
    void BuildCommandMenu();
    void WireButtons();
    void WireDragSurfaces();
    void Image3Click();
    void Image8Click();
    void Image10Click();
    void Action1Execute();
    void Image11Click();
    void ShowAbout();
    void TrayEvent(LPARAM mouseEvent);
    void DrawInfectionRow(HDC dc, const ListRow& row);
    void DrawVaultRow(HDC dc, const ListRow& row);

    TrayIcon tray_;
    // Whether the tray took the owner window from the screen, so that the
    // icon gives back only what it took.
    bool trayHidOwner_ = false;
};

}  // namespace tolvar
