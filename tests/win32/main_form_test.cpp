// The main window: page switching, the page-button highlight, the command
// menu, closing, and the skin painting its buttons and progress bar.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/app_error.h"
#include "core/folders.h"
#include "core/wide_text_win.h"
#include "history/scan_history.h"
#include "quarantine/vault.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/result_windows_win.h"

namespace tolvar {
namespace {

using test::SameBitmap;

namespace fs = std::filesystem;

using test::Click;

struct MainWindow : testing::Test {
    MainWindow() {
        ScanState = scan_state::kIdle;
        form.ShowStartPage();
    }
    ~MainWindow() override { ScanState = scan_state::kIdle; }
    test::RecordingCommands commands;
    TForm1 form{commands};
    Skin& skin = form.skin();

    int visiblePages() {
        int n = 0;
        for (Panel* p : {&form.Panel1, &form.Panel4, &form.Panel5, &form.Panel6})
            n += p->visible() ? 1 : 0;
        return n;
    }
};

TEST_F(MainWindow, StartsOnTheScanSummaryWithFooterButtonsOnIt) {
    EXPECT_EQ(form.CurrentPage, Page::Scan);
    EXPECT_EQ(form.ScanView, ScanPageView::Summary);
    EXPECT_TRUE(form.Panel1.visible());
    EXPECT_TRUE(form.Panel2.visible());
    EXPECT_FALSE(form.Panel3.visible());
    EXPECT_EQ(visiblePages(), 1);
    for (Image* footer : {&form.Image12, &form.Image11, &form.Image7})
        EXPECT_EQ(footer->parent(), &form.Panel2);
    EXPECT_EQ(form.Panel1.bounds().left, 178);
    EXPECT_EQ(form.Panel1.bounds().top, 47);
}

TEST_F(MainWindow, ResultsTakesTheListHeaderAndFooterAndScanGivesThemBack) {
    Click(form.Image4);
    EXPECT_EQ(form.CurrentPage, Page::Results);
    EXPECT_EQ(visiblePages(), 1);
    EXPECT_TRUE(form.Panel4.visible());
    EXPECT_EQ(form.edtInfections.parent(), &form.Panel4);
    EXPECT_EQ(form.Image29.parent(), &form.Panel4);
    EXPECT_EQ(form.edtInfections.bounds().left, 25);
    EXPECT_EQ(form.edtInfections.bounds().top, 163);
    EXPECT_EQ(form.Image29.bounds().left, 25);
    EXPECT_EQ(form.Image29.bounds().top, 138);
    for (Image* footer : {&form.Image12, &form.Image11, &form.Image7}) {
        EXPECT_EQ(footer->parent(), &form.Panel4);
    }
    EXPECT_EQ(form.Image12.bounds().left, 8);  // a moved control keeps its place
    EXPECT_EQ(form.Image12.bounds().top, 320);
    // The list's window really moved under the page's window.
    EXPECT_EQ(GetParent(form.edtInfections.handle()), form.Panel4.handle());

    Click(form.Image3);
    EXPECT_EQ(form.CurrentPage, Page::Scan);
    EXPECT_EQ(form.edtInfections.parent(), &form.Panel3);
    EXPECT_EQ(form.edtInfections.bounds().left, 16);
    EXPECT_EQ(form.edtInfections.bounds().top, 112);
    EXPECT_EQ(form.Image29.bounds().left, 16);
    EXPECT_EQ(form.Image29.bounds().top, 88);
    EXPECT_EQ(form.Image12.parent(), &form.Panel2);
    RECT r;
    GetWindowRect(form.edtInfections.handle(), &r);
    POINT p{r.left, r.top};
    ScreenToClient(form.Panel3.handle(), &p);
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 112);
}

TEST_F(MainWindow, HistoryAndDatabasePagesShowAloneWithTheFooter) {
    Click(form.Image5);
    EXPECT_TRUE(form.Panel5.visible());
    EXPECT_EQ(visiblePages(), 1);
    EXPECT_EQ(form.Image7.parent(), &form.Panel5);
    EXPECT_EQ(form.Panel5.bounds().width, form.Panel3.bounds().width);
    EXPECT_EQ(form.Panel5.bounds().height, form.Panel3.bounds().height - 10);

    Click(form.Image6);
    EXPECT_EQ(form.CurrentPage, Page::VirusDatabase);
    EXPECT_TRUE(form.Panel6.visible());
    EXPECT_EQ(visiblePages(), 1);
    EXPECT_EQ(form.Image11.parent(), &form.Panel6);
    EXPECT_EQ(form.Panel6.bounds().left, 178);
}

TEST_F(MainWindow, ScanButtonKeepsTheProgressViewWhileAScanRuns) {
    form.ScanView = ScanPageView::Progress;
    form.ShowPage();
    EXPECT_TRUE(form.Panel3.visible());
    EXPECT_EQ(form.Image12.parent(), &form.Panel3);
    ScanState = "scanning";
    Click(form.Image3);
    EXPECT_EQ(form.ScanView, ScanPageView::Progress);
    EXPECT_TRUE(form.Panel3.visible());
    ScanState = "idle";
    Click(form.Image3);
    EXPECT_EQ(form.ScanView, ScanPageView::Summary);
    EXPECT_TRUE(form.Panel2.visible());
    EXPECT_FALSE(form.Panel3.visible());
}

TEST_F(MainWindow, HighlightFollowsThePageButtonsAndSurvivesARepeatClick) {
    form.SelectPageButton(Page::Scan);
    Click(form.Image5);
    EXPECT_EQ(form.SelectedPage, Page::History);
    EXPECT_FALSE(skin.Slots().flags(1).Selected);
    EXPECT_TRUE(skin.Slots().flags(3).Selected);
    EXPECT_TRUE(SameBitmap(form.Image5.picture(), skin.Faces(3).Face2));
    EXPECT_TRUE(SameBitmap(form.Image3.picture(), skin.Faces(1).Face0));

    Click(form.Image5);
    EXPECT_TRUE(skin.Slots().flags(3).Selected);
    EXPECT_TRUE(SameBitmap(form.Image5.picture(), skin.Faces(3).Face2));
}

// The fault: a scan started from another page showed the Scan page while
// the other page's button stayed lit.
TEST_F(MainWindow, AScanStartedFromAnotherPageLightsTheScanPageButton) {
    Click(form.Image5);  // History
    ASSERT_EQ(form.SelectedPage, Page::History);
    form.scanPage().ShowProgressView();  // what a scan start does
    EXPECT_EQ(form.CurrentPage, Page::Scan);
    EXPECT_EQ(form.SelectedPage, Page::Scan);
    EXPECT_TRUE(skin.Slots().flags(1).Selected);
    EXPECT_FALSE(skin.Slots().flags(3).Selected);
}

// The row of a list as drawn by its draw handler, and as the same texts look
// drawn through the wide calls: the handler must show a name with any
// characters exactly (GDI reads "A" text in the font's code page).
Bitmap DrawnRow(ListBox& list, const UniqueFont& font) {
    Bitmap bitmap(573, 16);
    BitmapCanvas canvas(bitmap);
    ScopedSelect select(canvas.dc(), font.get());
    list.onDrawItem(canvas.dc(), ListRow{0, RECT{0, 0, 573, 16}, false, false});
    return bitmap;
}

Bitmap ExpectedRow(const UniqueFont& font, const std::string& name, const std::string& path,
                   COLORREF text) {
    Bitmap bitmap(573, 16);
    BitmapCanvas canvas(bitmap);
    ScopedSelect select(canvas.dc(), font.get());
    RECT all{0, 0, 573, 16};
    UniqueBrush grey(CreateSolidBrush(RGB(233, 233, 233)));
    FillRect(canvas.dc(), &all, grey.get());
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), text);
    const std::wstring wideName = Utf8ToWide(name);
    const std::wstring widePath = Utf8ToWide(path);
    TextOutW(canvas.dc(), 10, 0, wideName.c_str(), static_cast<int>(wideName.size()));
    TextOutW(canvas.dc(), 280, 0, widePath.c_str(), static_cast<int>(widePath.size()));
    return bitmap;
}

TEST_F(MainWindow, ListRowsShowNamesInAnyScriptAndMarkWhatCannotBeRemoved) {
    const UniqueFont font = CreateFontFrom(FontSpec{});
    const std::string named = "D:\\Rechnung M\xC3\xA4rz \xD1\x81\xD1\x87\xD1\x91\xD1\x82.com";
    Vault().LoadFileImage(nullptr, 0);
    Vault().Append(InfectionRecord{"C:\\vault\\x", named, "Eicar "});
    const Bitmap vaultRow = DrawnRow(form.edtVirusDB, font);
    Vault().LoadFileImage(nullptr, 0);
    EXPECT_TRUE(SameBitmap(vaultRow, ExpectedRow(font, "Eicar ", named, RGB(128, 128, 128))));

    // A detection whose name the scanner could not write is listed as such.
    const std::string unknown = "D:\\Rechnung M\xC3\xA4rz ????.com";
    form.scanPage().ClearInfectionRows();
    form.scanPage().AddInfectionRow(InfectionRecord{"", unknown, "Eicar "});
    EXPECT_TRUE(
        SameBitmap(DrawnRow(form.edtInfections, font),
                   ExpectedRow(font, "Eicar ", "(cannot be removed) " + unknown, RGB(176, 0, 0))));
    form.scanPage().ClearInfectionRows();
}

TEST_F(MainWindow, HoverAndPressShowTheirFacesOnTheButton) {
    HWND panel = form.Panel3.handle();
    const Bounds& b = form.Image17.bounds();
    SendMessageA(panel, WM_MOUSEMOVE, 0, test::Point(b.left + 5, b.top + 5));
    EXPECT_TRUE(SameBitmap(form.Image17.picture(), skin.Faces(12).Face1));
    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, test::Point(b.left + 5, b.top + 5));
    EXPECT_TRUE(SameBitmap(form.Image17.picture(), skin.Faces(12).Face2));
    SendMessageA(panel, WM_LBUTTONUP, 0, test::Point(b.left + 5, b.top + 5));
    EXPECT_TRUE(SameBitmap(form.Image17.picture(), skin.Faces(12).Face1));
    // Onto the background: the normal face again.
    SendMessageA(panel, WM_MOUSEMOVE, 0, test::Point(600, 20));
    EXPECT_TRUE(SameBitmap(form.Image17.picture(), skin.Faces(12).Face0));
    EXPECT_EQ(skin.Slots().HoveredSlot(), SlotTable::None);
}

TEST_F(MainWindow, OptionsAndRightClickOpenTheCommandMenu) {
    std::vector<std::string> opened;
    form.PopupMenu1.chooser = [&](const std::vector<PopupMenu::Item>& items) {
        opened.push_back(items.front().caption);
        return 1;  // "Virus Database"
    };
    Click(form.Image8);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(form.CurrentPage, Page::VirusDatabase);

    form.CurrentPage = Page::Scan;
    form.ShowPage();
    SendMessageA(form.Panel2.handle(), WM_RBUTTONDOWN, MK_RBUTTON, test::Point(100, 100));
    SendMessageA(form.Panel2.handle(), WM_RBUTTONUP, 0, test::Point(100, 100));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "Start Scan");
    EXPECT_EQ(form.PopupMenu1.items().size(), 12u);
}

TEST_F(MainWindow, TheCommandMenuOpensTheProtectionSettings) {
    form.PopupMenu1.chooser = [](const std::vector<PopupMenu::Item>& items) {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].caption == "Protection Settings") return static_cast<int>(i);
        return -1;
    };
    Click(form.Image8);
    EXPECT_EQ(commands.given, (std::vector<std::string>{"OpenProtectionSettings"}));
}

TEST_F(MainWindow, CloseStopsAllSkinPaintingAndHidesTheWindow) {
    form.show();
    Click(form.Image10);
    EXPECT_TRUE(skin.Slots().PaintingSuppressed());
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    // Nothing repaints after the close, whatever the mouse does.
    skin.Slots().Select(2, true);
    EXPECT_TRUE(form.Image4.picture().empty() ||
                !SameBitmap(form.Image4.picture(), skin.Faces(2).Face2));
}

TEST_F(MainWindow, OnlyALeftPressOnTheBackgroundMovesTheWindows) {
    // A move started by the right button, which also opens the command
    // menu, would make the window follow the mouse once the menu closed.
    test::MoveRequests moves;
    form.PopupMenu1.chooser = [](const std::vector<PopupMenu::Item>&) { return -1; };
    SendMessageA(form.handle(), WM_RBUTTONDOWN, MK_RBUTTON, test::Point(400, 25));
    SendMessageA(form.handle(), WM_RBUTTONUP, 0, test::Point(400, 25));
    EXPECT_EQ(moves.count, 0);
    SendMessageA(form.handle(), WM_LBUTTONDOWN, MK_LBUTTON, test::Point(400, 25));
    SendMessageA(form.handle(), WM_LBUTTONUP, 0, test::Point(400, 25));
    EXPECT_EQ(moves.count, 1);

    ScanFailedForm message(skin);
    SendMessageA(message.handle(), WM_RBUTTONDOWN, MK_RBUTTON, test::Point(200, 20));
    SendMessageA(message.handle(), WM_RBUTTONUP, 0, test::Point(200, 20));
    EXPECT_EQ(moves.count, 1);
    SendMessageA(message.handle(), WM_LBUTTONDOWN, MK_LBUTTON, test::Point(200, 20));
    SendMessageA(message.handle(), WM_LBUTTONUP, 0, test::Point(200, 20));
    EXPECT_EQ(moves.count, 2);
}

TEST_F(MainWindow, ProgressBarDrawsFillThenTrackBetweenTheCaps) {
    Bitmap& bar = form.Image15.picture();
    const ProgressSkin& p = skin.Progress();
    skin.SetProgressValue(100);
    skin.PaintProgressBar(1);
    ASSERT_EQ(bar.width(), 537);
    const int middle = 537 / 2;
    const COLORREF filled = bar.pixel(middle, 6);
    skin.SetProgressValue(0);
    skin.PaintProgressBar(1);
    const COLORREF empty = bar.pixel(middle, 6);
    EXPECT_NE(filled, empty);
    EXPECT_EQ(empty, p.Track.pixel(p.Track.width() / 2, 6));
    EXPECT_EQ(bar.pixel(0, 6), p.LeftCap.pixel(0, 6));
    EXPECT_EQ(bar.pixel(536, 6), p.RightCap.pixel(p.RightCap.width() - 1, 6));

    skin.SetProgressValue(50);
    skin.PaintProgressBar(1);
    EXPECT_NE(bar.pixel(20, 6), empty);   // the fill's half
    EXPECT_EQ(bar.pixel(520, 6), empty);  // the track's half

    skin.SetProgressValue(0);
    skin.PaintProgressBar(2);  // only the one progress skin draws
    EXPECT_NE(bar.pixel(520, 6), filled);
}

TEST(SkinFiles, AMissingStripStopsTheLoadNamingTheFile) {
    fs::path folder = fs::temp_directory_path() / "tolvar-skin-missing";
    fs::remove_all(folder);
    fs::create_directories(folder / "bin" / "skin");
    const std::string exe = ExecutableFolder();
    for (int n = 1; n <= 4; ++n) {
        fs::copy_file(fs::path(exe) / "bin" / "skin" / ("img" + std::to_string(n) + ".png"),
                      folder / "bin" / "skin" / ("img" + std::to_string(n) + ".png"));
    }
    Skin skin;
    try {
        skin.LoadSkin(folder.string() + "\\");
        FAIL() << "a skin without img5.png loaded";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find("img5.png"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(skin.Faces(4).Face2.empty());  // the slots before it did load
    EXPECT_TRUE(skin.Faces(5).Face0.empty());
    fs::remove_all(folder);
}

TEST(SkinFiles, EveryStripOfTheProgramLoadsWithThreeEqualFaces) {
    Skin skin;
    skin.LoadSkin(ExecutableFolder());
    for (int n = 1; n <= SlotTable::SlotCount; ++n) {
        const SkinFaces& f = skin.Faces(n);
        ASSERT_FALSE(f.Face0.empty()) << n;
        EXPECT_EQ(f.Face0.width(), f.Face2.width()) << n;
        EXPECT_EQ(f.Face0.height(), f.Face1.height()) << n;
        EXPECT_FALSE(SameBitmap(f.Face0, f.Face1)) << "slot " << n << ": hover looks like normal";
        EXPECT_FALSE(SameBitmap(f.Face0, f.Face2)) << "slot " << n << ": pressed looks like normal";
    }
}

TEST_F(MainWindow, ButtonsMenuAndTimerGiveTheirCommands) {
    form.show();
    for (Image* button : {&form.Image16, &form.Image17, &form.Image18, &form.Image19, &form.Image20,
                          &form.Image7, &form.Image37}) {
        button->click();
    }
    form.Timer2.onTimer();
    EXPECT_EQ(commands.given,
              (std::vector<std::string>{"StartScan", "PauseScan", "ResumeScan", "StopScan",
                                        "RemoveInfections", "ShowAbout", "OpenDatabaseSettings",
                                        "CheckForUpdates"}));
    // Once a scan was started the scheduled update check is over.
    EXPECT_FALSE(form.Timer2.enabled());
}

TEST_F(MainWindow, CommandsThatMustNotInterruptAScanWaitForIt) {
    ScanState = scan_state::kScanning;
    form.Image12.click();  // the footer's scan of all drives
    form.Image11.click();  // the folder chooser
    form.Image36.click();  // the database download
    EXPECT_TRUE(commands.given.empty());
    EXPECT_TRUE(form.Timer2.enabled());

    ScanState = scan_state::kPaused;
    form.Image36.click();  // the download waits for a paused scan too
    EXPECT_TRUE(commands.given.empty());

    ScanState = scan_state::kIdle;
    form.Image12.click();
    form.Image11.click();
    form.Image36.click();
    EXPECT_EQ(commands.given, (std::vector<std::string>{"StartScan", "ChooseFoldersToScan",
                                                        "OpenDatabaseUpdates"}));
    EXPECT_FALSE(form.Timer2.enabled());
}

TEST_F(MainWindow, TheScanPageShowsWhatTheScanReportsOnItsControls) {
    ScanView& page = form.scanPage();
    page.ShowProgressView();
    EXPECT_TRUE(form.Panel3.visible());
    EXPECT_EQ(form.CurrentPage, Page::Scan);
    page.ShowStatus("Scanning: C:\\x");
    page.ShowItemsScanned(7);
    page.ShowInfectionsFound(2);
    page.ShowPercent("12.50%");
    page.ShowProgressBar(40);
    EXPECT_EQ(form.Label10.caption(), "Scanning: C:\\x");
    EXPECT_EQ(form.Label40.caption(), "Items Scanned: 7");
    EXPECT_EQ(form.Label12.caption(), "Infections Found: 2");
    EXPECT_EQ(form.Label11.caption(), "12.50%");
    EXPECT_EQ(skin.Progress().ProgressValue, 40);

    page.AddInfectionRow(InfectionRecord{"", "C:\\a.exe", "Worm "});
    page.AddInfectionRow(InfectionRecord{"", "C:\\b.exe", "Trojan "});
    EXPECT_EQ(form.edtInfections.count(), 2);
    EXPECT_EQ(form.edtInfections.item(1), "Trojan ");
    ASSERT_NE(form.scanPage().Row(1), nullptr);
    EXPECT_EQ(form.scanPage().Row(1)->FilePath, "C:\\b.exe");
    EXPECT_EQ(form.scanPage().Row(2), nullptr);
    page.ClearInfectionRows();
    EXPECT_EQ(form.edtInfections.count(), 0);
    EXPECT_EQ(form.scanPage().Row(0), nullptr);

    page.LightCommand(ScanCommand::Pause);
    EXPECT_TRUE(skin.Slots().flags(slot::kPauseScan).Selected);
    EXPECT_TRUE(SameBitmap(form.Image17.picture(), skin.Faces(slot::kPauseScan).Face2));

    int ticks = 0;
    page.StartRefreshTimer([&] { ++ticks; });
    EXPECT_TRUE(form.Timer1.enabled());
    EXPECT_EQ(form.Timer1.interval(), 100u);
    form.Timer1.onTimer();
    EXPECT_EQ(ticks, 1);
    page.StopRefreshTimer();
    EXPECT_FALSE(form.Timer1.enabled());
}

TEST_F(MainWindow, PagesShowTheRecordedFiguresWhenTheyOpen) {
    const ScanStatistics saved = Statistics();
    ScanStatistics& s = Statistics();
    s.SetScanCount(4);
    s.SetTotalInfectionsFound(9);
    s.SetTotalItemsScanned(1234);
    s.SetTotalInfectionsRemoved(6);
    s.SetLastScanDate("08/12/2026");
    s.SetLastInfectionsFound(3);
    s.SetLastItemsScanned(100);
    s.SetLastInfectionsRemoved(2);
    Click(form.Image4);
    EXPECT_EQ(form.Label18.caption(), "08/12/2026");
    EXPECT_EQ(form.Label19.caption(), "3");
    EXPECT_EQ(form.Label20.caption(), "100");
    EXPECT_EQ(form.Label21.caption(), "2");
    Click(form.Image5);
    EXPECT_EQ(form.Label32.caption(), "4");
    EXPECT_EQ(form.Label33.caption(), "9");
    EXPECT_EQ(form.Label34.caption(), "1234");
    EXPECT_EQ(form.Label35.caption(), "6");
    EXPECT_EQ(form.Label37.caption(), "3");
    Click(form.Image3);
    EXPECT_EQ(form.Label6.caption(), "08/12/2026");
    EXPECT_EQ(form.Label8.caption(), "100");
    Statistics() = saved;
}

}  // namespace
}  // namespace tolvar
