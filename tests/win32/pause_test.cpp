// Pause, resume and stop from the Scan page, with the lit command image,
// and the chooser of folders to scan.

#include <gtest/gtest.h>

#include "core/com_apartment_win.h"
#include "core/folders.h"
#include "protection/scan_schedule_store_win.h"
#include "scan/choose_folder.h"
#include "scan_fixture.h"
#include "ui/scan_windows_win.h"

namespace tolvar {
namespace {

using test::Scans;

TEST_F(Scans, PauseAndResumeFollowTheStateTableAndLightTheirImages) {
    // Idle: pause and resume change nothing, not even the lit image.
    scan.PauseScan();
    scan.ResumeScan();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_TRUE(view.litCommands.empty());

    script({"out C:\\\\t\\\\a.txt: OK\\n", "wait-file " + path("go"), "out C:\\\\t\\\\b.txt: OK\\n",
            "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 1; }));
    scan.ResumeScan();  // while scanning: nothing
    EXPECT_EQ(view.lit(), ScanCommand::Start);

    scan.PauseScan();
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(view.lit(), ScanCommand::Pause);
    const std::size_t lit = view.litCommands.size();
    scan.PauseScan();  // again: nothing
    EXPECT_EQ(view.litCommands.size(), lit);

    // Stop while paused lights Stop and leaves the scan paused.
    scan.StopCommand();
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(view.lit(), ScanCommand::Stop);
    EXPECT_TRUE(scan.ScannerRunning());

    // The scanner finishes while the scan is paused: nothing ends yet.
    std::ofstream(path("go")) << "";
    test::PumpUntil([] { return false; }, 700);
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);

    scan.ResumeScan();  // the waiting output and the end arrive
    EXPECT_EQ(view.lit(), ScanCommand::Resume);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().LastItemsScanned(), 2);
    // The end lights Stop in place of Resume.
    EXPECT_EQ(view.lit(), ScanCommand::Stop);
}

TEST_F(Scans, TheUiThreadKeepsRunningWhilePausedWithAHandOverInFlight) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("out C:\\\\t\\\\f" + std::to_string(i) + ".txt: OK\\n");
    lines.push_back("hang");
    script(lines);
    scan.StartOrResumeScan();
    // Pause in the thick of the output, then prove the UI thread still
    // handles messages and timers.
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() > 0; }));
    scan.PauseScan();
    const int frozen = scan.Parser().ItemsScanned();
    int ticks = 0;
    Timer probe(20);
    probe.onTimer = [&] { ++ticks; };
    EXPECT_TRUE(test::PumpUntil([&] { return ticks >= 5; }, 3000));
    EXPECT_LE(scan.Parser().ItemsScanned(), frozen + 1024);  // at most the chunk in hand
    const int held = scan.Parser().ItemsScanned();
    test::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(scan.Parser().ItemsScanned(), held);
    scan.ResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 200; }));
    scan.StopScan();
    EXPECT_EQ(ScanState, "idle");
}

TEST_F(Scans, StartingChosenFoldersWhileAScanIsPausedEndsThePausedScanFirst) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "hang"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().ItemsScanned() == 1; }));
    scan.PauseScan();

    script({"args " + path("args.txt"), "exit 0"});
    scan.StartChosenScan({path("target") + "\\"});
    // The paused scan was recorded as stopped; only the new scanner runs.
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 2);
    EXPECT_EQ(readLines("args.txt").back(), path("target") + "\\");
}

class Chooser : public Scans {
protected:
    Chooser() {
        skin.LoadSkin(Folders().ProgramFolder);
        scan.fixedDrives = [] { return std::vector<std::string>{"C:\\", "D:\\"}; };
    }

    // Runs the chooser modally; act runs inside it once it is up.
    void openChooser(const std::function<void()>& act) {
        Timer driver(30);
        driver.onTimer = [&] {
            driver.setEnabled(false);
            act();
        };
        chooser.showModal();
    }

    Skin skin;
    TForm16 chooser{skin, scan};
};

TEST_F(Chooser, ListsTheFixedDrivesFirstAndScansExactlyTheChosenFolders) {
    const std::string blank = path("My Folder");
    script({"args " + path("args.txt"), "exit 0"});
    std::vector<std::string> listed;
    openChooser([&] {
        for (int i = 0; i < chooser.ListBox1.count(); ++i)
            listed.push_back(chooser.ListBox1.item(i));
        chooser.ListBox1.setSelected(0, true);
        chooser.ListBox1.setSelected(1, true);
        chooser.Button2.click();  // remove both drives
        chooser.chooseFolder = [&] { return blank; };
        chooser.Button1.click();
        chooser.Button1.click();  // the same folder twice
        chooser.Image2.click();
    });
    EXPECT_EQ(listed, (std::vector<std::string>{"C:\\", "D:\\"}));
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(view.progressViews, 1);
    ASSERT_TRUE(waitIdle());
    const std::vector<std::string> args = readLines("args.txt");
    ASSERT_GE(args.size(), 2u);
    // Each folder arrives as one argument with its trailing backslash.
    EXPECT_EQ(args[args.size() - 2], blank + "\\");
    EXPECT_EQ(args[args.size() - 1], blank + "\\");
    EXPECT_EQ(args[args.size() - 3].rfind("--database=", 0), 0u);
}

// A folder picked with any characters in its name goes through the list
// and the file list to the scanner unchanged, and is kept, as written, as
// the folders last chosen that a scheduled scan scans.
TEST_F(Chooser, AFolderWithAnyCharactersReachesTheScannerExactly) {
    const std::string named = path("Zo\xC3\xAB \xD0\x96 \xE8\xAB\x8B");
    script({"args " + path("args.txt"), "list " + path("list.txt"), "exit 0"});
    std::string listed;
    openChooser([&] {
        for (int i = 0; i < chooser.ListBox1.count(); ++i)
            chooser.ListBox1.setSelected(i, true);
        chooser.Button2.click();
        chooser.chooseFolder = [&] { return named; };
        chooser.Button1.click();
        listed = chooser.ListBox1.item(0);
        chooser.Image2.click();
    });
    EXPECT_EQ(listed, named);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(readLines("list.txt"), std::vector<std::string>{named + "\\"});
    EXPECT_EQ(readLines("args.txt").back().rfind("--file-list=", 0), 0u);
    EXPECT_EQ(LastChosenFolders(), std::vector<std::string>{named + "\\"});
}

// Nothing scanned, nothing chosen: the folders a scheduled scan scans stay.
TEST_F(Chooser, StartWithAnEmptyListClosesWithoutAScan) {
    StoreLastChosenFolders({"C:\\Kept\\"});
    openChooser([&] {
        for (int i = 0; i < chooser.ListBox1.count(); ++i)
            chooser.ListBox1.setSelected(i, true);
        chooser.Button2.click();
        EXPECT_EQ(chooser.ListBox1.count(), 0);
        chooser.Image2.click();
    });
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);
    EXPECT_EQ(LastChosenFolders(), std::vector<std::string>{"C:\\Kept\\"});
}

TEST_F(Chooser, ACancelledPickerAndTheCloseButtonChangeNothing) {
    openChooser([&] {
        chooser.chooseFolder = [] { return std::string(); };
        chooser.Button1.click();
        EXPECT_EQ(chooser.ListBox1.count(), 2);
        chooser.Image3.click();
    });
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(ScanState, "idle");
}

BOOL CALLBACK FindPicker(HWND window, LPARAM found) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && std::string(name) == "#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The fault: every message window stayed on top and the picker belonged to
// the hidden application window, so it opened behind the chooser.
TEST_F(Chooser, ThePickerOpensInFrontOfTheChooserAndBelongsToIt) {
    const ComApartment com;  // the picker needs COM, as the program's entry enters it
    HWND picker = nullptr;
    HWND owner = nullptr;
    bool chooserOnTopOfAll = true;
    bool pickerInFront = false;
    Timer finder(50);
    finder.onTimer = [&] {
        EnumThreadWindows(GetCurrentThreadId(), &FindPicker, reinterpret_cast<LPARAM>(&picker));
        if (!picker) return;
        finder.setEnabled(false);
        owner = GetWindow(picker, GW_OWNER);
        chooserOnTopOfAll = (GetWindowLongA(chooser.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        for (HWND w = GetWindow(picker, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
            pickerInFront = pickerInFront || w == chooser.handle();
        PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
    };
    openChooser([&] {
        chooser.chooseFolder = [] { return ChooseFolder("Select a Folder", 1); };
        chooser.Button1.click();
        chooser.Image3.click();
    });
    ASSERT_NE(picker, nullptr) << "the picker never opened";
    EXPECT_EQ(owner, chooser.handle());
    EXPECT_FALSE(chooserOnTopOfAll);
    EXPECT_TRUE(pickerInFront);
    EXPECT_EQ(chooser.ListBox1.count(), 2);  // cancelled: nothing added
}

TEST_F(Scans, TheStopQuestionStopsTheScanOnlyOnYes) {
    Skin skin;
    skin.LoadSkin(Folders().ProgramFolder);
    TForm3 question(skin, scan);
    test::InlineRemovalWindows windows;
    windows.onStopQuestion = [&] { question.showModal(); };
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "hang"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return scan.Parser().InfectionCount() == 1; }));

    Timer no(30);
    no.onTimer = [&] {
        no.setEnabled(false);
        question.Image2.click();
    };
    RemoveCommand(scan, windows);
    EXPECT_EQ(ScanState, "scanning");
    EXPECT_EQ(windows.runs, 0);

    Timer yes(30);
    yes.onTimer = [&] {
        yes.setEnabled(false);
        question.Image3.click();
    };
    RemoveCommand(scan, windows);
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(windows.stopQuestions, 2);
    // The stop ends the scan; the removal starts only from its offer.
    EXPECT_EQ(windows.runs, 0);
    EXPECT_EQ(outcomes.infectionsFound, std::vector<std::int32_t>{1});
}

TEST_F(Scans, RemoveWithNothingFoundSaysSoAndRemovesNothing) {
    test::InlineRemovalWindows windows;
    RemoveCommand(scan, windows);
    EXPECT_EQ(view.status.back(), "No Infections Found");
    EXPECT_EQ(windows.runs, 0);
    EXPECT_EQ(windows.stopQuestions, 0);
}

}  // namespace
}  // namespace tolvar
