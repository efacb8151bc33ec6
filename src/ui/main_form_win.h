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
#include "ui/main_window_commands.h"
#include "ui/scan_page_win.h"
#include "ui/skin_win.h"
#include "ui/tray_icon_win.h"
#include "ui/vault_list_win.h"

namespace tolvar {

class TForm10;

// The pages, numbered as their page buttons' skin slots.
enum class Page { Scan = 1, Results = 2, History = 3, VirusDatabase = 4 };
// The two views of the Scan page.
enum class ScanPageView { Summary = 1, Progress = 2 };

class TForm1 : public Form {
public:
    static constexpr int kClientWidth = 792;
    static constexpr int kClientHeight = 442;
    static constexpr const char* kCaption = "Tolvar AntiVirus";
    // Another start of the program sends this to the running copy's window,
    // which then comes to the front, from the tray if it is there, and
    // answers kBroughtToFront.
    static UINT BringToFrontMessage();
    static constexpr LRESULT kBroughtToFront = 0x54415601;

    explicit TForm1(MainWindowCommands& commands);
    ~TForm1() override;

    // The window's part of the program's start: the page state, the vault
    // list, the skin and the first page. A skin that cannot be loaded
    // throws, after the steps before it.
    void ShowStartPage();

    // Page switching.
    Page CurrentPage = Page::Scan;
    ScanPageView ScanView = ScanPageView::Summary;
    Page SelectedPage = Page::Scan;  // the highlighted page button
    void ShowPage();
    void ShowScanView();
    void SelectPageButton(Page page);
    // Shows a page and highlights its button.
    void SwitchToPage(Page page);
    // The Scan page with its progress view, as a scan starts.
    void ShowScanProgress();
    void StartWindowDrag() { beginDrag(); }

    // Shows and fills the Virus Database page.
    void Action2Execute();
    // Opens the download window modally, only while no scan runs.
    void OpenDatabaseUpdates();
    // Ends the scheduled update check for this run.
    void StopUpdateCheck() { Timer2.setEnabled(false); }
    // "Minimize to System Tray": the window gives way to a tray icon, which
    // brings it back with a left or right button press.
    void MinimizeToTray();
    // Adds the tray icon and hides the application's windows; without an
    // icon they stay, or nothing would lead back to the program.
    void SysMin();
    // The start with the /tray switch: the window is never shown, the tray
    // icon stands for the program from the first (the taskbar's button when
    // the shell refuses the icon).
    void StartInTray();
    // Close: with real-time protection wanted the program goes to the tray
    // and keeps protecting (a balloon says so the first time); without, the
    // program ends.
    void CloseCommand();
    // "Exit": ends the program.
    void ExitProgram();
    // Real-time protection as the program has it now: the menu's check and
    // the icon's tip follow it, and while it is wanted the icon stays up
    // beside the window too.
    void ShowRealtimeState(bool wanted, bool active);
    // A balloon at the tray icon, which is put up for it when none is: what
    // real-time protection did is never told to no one.
    void ShowBalloon(const std::string& title, const std::string& text, BalloonIcon icon);
    bool hiddenInTray() const { return hiddenInTray_; }
    // Brings the window back from the tray (or the taskbar) to the front.
    void ComeForward();
    // Runs each time the window comes back from the tray: what waited for
    // the user while it was hidden is shown then.
    std::function<void()> onComeBack;
    // Tells accessibility clients that the scan commands may have become
    // available or unavailable: the scan state changed.
    void AnnounceCommandStates();
    const TrayIcon& tray() const { return tray_; }
    TrayIcon& tray() { return tray_; }

    Skin& skin() { return skin_; }
    ScanPage& scanPage() { return scanPage_; }
    VaultList& vaultList() { return vaultList_; }
    // The splash, which this window closes when it lingers and hides with
    // the program when it goes to the tray.
    void setSplash(TForm10* splash) { splash_ = splash; }

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
    Image& Image38;  // "Delete from vault"
    Image& Image39;  // "Restore and allow"

    // Footer buttons, moved onto whichever page or view is showing.
    Image& Image12;  // scan all fixed drives
    Image& Image11;  // choose folders to scan
    Image& Image7;   // About

    Timer Timer1;  // repaints the progress bar while a scan runs
    Timer Timer2;  // the scheduled update check
    Timer Timer3;  // closes a lingering splash
    PopupMenu PopupMenu1;

    // The Scan page and the vault list as the scan and the restore
    // commands see them; made after the controls they drive.
    ScanPage scanPage_{*this};
    VaultList vaultList_{edtVirusDB, *this};

protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormCreate();
    void BuildCommandMenu();
    void WireButtons();
    void WireDragSurfaces();
    void WireKeyboard();
    void Image3Click();
    void Image8Click();
    void Image10Click();
    void Action1Execute();
    void Image11Click();
    void TrayEvent(LPARAM mouseEvent);
    // While the program waits in the tray its windows' pictures are let go.
    void ReleaseHiddenPictures();
    // Shows the window again, from the tray or the taskbar, and activates it.
    void ComeBack();
    // The tray icon's tip: the title, and real-time protection's state once
    // the program told it.
    std::string TrayTip() const;
    void DrawInfectionRow(HDC dc, const ListRow& row);

    MainWindowCommands& commands_;
    TForm10* splash_ = nullptr;
    TrayIcon tray_;
    // Whether the tray took the owner window from the screen, so that the
    // icon gives back only what it took.
    bool trayHidOwner_ = false;
    // Whether the window gave way to the tray icon (which may also stand
    // beside the shown window).
    bool hiddenInTray_ = false;
    bool realtimeKnown_ = false;
    bool realtimeWanted_ = false;
    bool realtimeActive_ = false;
};

}  // namespace tolvar
