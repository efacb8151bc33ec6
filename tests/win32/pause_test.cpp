// Pause, resume and stop from the Scan page, with the lit command image,
// and the chooser of folders to scan.

#include <gtest/gtest.h>

#include "core/folders.h"
#include "scan_fixture.h"

namespace tolvar {
namespace {

using test::Scans;

TEST_F(Scans, PauseAndResumeFollowTheStateTableAndLightTheirImages) {
    SlotTable& slots = form.skin().Slots();
    // Idle: pause and resume change nothing, not even the lit image.
    form.scan().PauseScan();
    form.scan().ResumeScan();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(form.scan().LitSlot(), 0);

    script({"out C:\\\\t\\\\a.txt: OK\\n", "wait-file " + path("go"), "out C:\\\\t\\\\b.txt: OK\\n",
            "exit 0"});
    form.scan().StartScanCommand();
    ASSERT_TRUE(test::PumpUntil([this] { return form.scan().Parser().ItemsScanned() == 1; }));
    form.scan().ResumeScan();  // while scanning: nothing
    EXPECT_EQ(form.scan().LitSlot(), 11);

    form.Image17.click();  // Pause
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(form.scan().LitSlot(), 12);
    EXPECT_TRUE(slots.flags(12).Selected);
    EXPECT_FALSE(slots.flags(11).Selected);
    form.scan().PauseScan();  // again: nothing
    EXPECT_EQ(form.scan().LitSlot(), 12);

    // Stop while paused lights Stop and leaves the scan paused.
    form.Image19.click();
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(form.scan().LitSlot(), 14);
    EXPECT_TRUE(form.scan().ScannerRunning());

    // The scanner finishes while the scan is paused: nothing ends yet.
    std::ofstream(path("go")) << "";
    test::PumpUntil([] { return false; }, 700);
    EXPECT_EQ(ScanState, "paused");
    EXPECT_EQ(Statistics().ScanCount(), scansBefore);

    form.Image18.click();  // Resume: the waiting output and the end arrive
    EXPECT_EQ(form.scan().LitSlot(), 13);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    EXPECT_EQ(Statistics().LastItemsScanned(), 2);
}

TEST_F(Scans, TheUiThreadKeepsRunningWhilePausedWithAHandOverInFlight) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("out C:\\\\t\\\\f" + std::to_string(i) + ".txt: OK\\n");
    lines.push_back("hang");
    script(lines);
    form.scan().StartScanCommand();
    // Pause in the thick of the output, then prove the UI thread still
    // handles messages and timers.
    ASSERT_TRUE(test::PumpUntil([this] { return form.scan().Parser().ItemsScanned() > 0; }));
    form.scan().PauseScan();
    const int frozen = form.scan().Parser().ItemsScanned();
    int ticks = 0;
    Timer probe(20);
    probe.onTimer = [&] { ++ticks; };
    EXPECT_TRUE(test::PumpUntil([&] { return ticks >= 5; }, 3000));
    EXPECT_LE(form.scan().Parser().ItemsScanned(), frozen + 1024);  // at most the chunk in hand
    const int held = form.scan().Parser().ItemsScanned();
    test::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(form.scan().Parser().ItemsScanned(), held);
    form.scan().ResumeScan();
    ASSERT_TRUE(test::PumpUntil([this] { return form.scan().Parser().ItemsScanned() == 200; }));
    form.scan().StopScan();
    EXPECT_EQ(ScanState, "idle");
}

TEST_F(Scans, StartingChosenFoldersWhileAScanIsPausedEndsThePausedScanFirst) {
    script({"out C:\\\\t\\\\a.txt: OK\\n", "hang"});
    form.scan().StartScanCommand();
    ASSERT_TRUE(test::PumpUntil([this] { return form.scan().Parser().ItemsScanned() == 1; }));
    form.scan().PauseScan();

    script({"args " + path("args.txt"), "exit 0"});
    form.scan().StartChosenScan({path("target") + "\\"});
    // The paused scan was recorded as stopped; only the new scanner runs.
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 1);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Statistics().ScanCount(), scansBefore + 2);
    EXPECT_EQ(readLines("args.txt").back(), path("target") + "\\");
}

class Chooser : public Scans {
protected:
    Chooser() : chooser(form.skin(), form.scan()) {
        Windows().Form16 = &chooser;
        form.scan().fixedDrives = [] { return std::vector<std::string>{"C:\\", "D:\\"}; };
    }
    ~Chooser() override { Windows().Form16 = nullptr; }

    // Runs the chooser modally; act runs inside it once it is up.
    void openChooser(const std::function<void()>& act) {
        Timer driver(30);
        driver.onTimer = [&] {
            driver.setEnabled(false);
            act();
        };
        form.Image11.click();
    }

    TForm16 chooser;
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
    EXPECT_FALSE(form.Timer2.enabled());
    ASSERT_TRUE(waitIdle());
    const std::vector<std::string> args = readLines("args.txt");
    ASSERT_GE(args.size(), 2u);
    // Each folder arrives as one argument with its trailing backslash.
    EXPECT_EQ(args[args.size() - 2], blank + "\\");
    EXPECT_EQ(args[args.size() - 1], blank + "\\");
    EXPECT_EQ(args[args.size() - 3].rfind("--database=", 0), 0u);
}

TEST_F(Chooser, StartWithAnEmptyListClosesWithoutAScan) {
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

TEST_F(Chooser, DoesNotOpenWhileAScanRuns) {
    script({"hang"});
    form.scan().StartScanCommand();
    bool opened = false;
    openChooser([&] {
        opened = true;
        chooser.Image3.click();
    });
    EXPECT_FALSE(opened);
    form.scan().StopScan();
}

TEST_F(Scans, TheStopQuestionStopsTheScanOnlyOnYes) {
    TForm3 question(form.skin(), form.scan());
    Windows().Form3 = &question;
    script({"out C:\\\\t\\\\b.exe: Worm FOUND\\n", "hang"});
    form.scan().StartScanCommand();
    ASSERT_TRUE(test::PumpUntil([this] { return form.edtInfections.count() == 1; }));

    Timer no(30);
    no.onTimer = [&] {
        no.setEnabled(false);
        question.Image2.click();
    };
    form.Image20.click();
    EXPECT_EQ(ScanState, "scanning");

    Timer yes(30);
    yes.onTimer = [&] {
        yes.setEnabled(false);
        question.Image3.click();
    };
    form.Image20.click();
    EXPECT_EQ(ScanState, "idle");
    EXPECT_EQ(infectionPrompts, 1);
    Windows().Form3 = nullptr;
}

}  // namespace
}  // namespace tolvar
