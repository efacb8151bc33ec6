// The windows as a screen reader finds them, through the accessibility
// client built with the tests (a process of its own, as a screen reader
// is): every skin button a push button named by its hint or caption, with
// its state; labels as static text; the infection list with its rows; the
// progress bar with its value during a scan; focus changes announced; a
// button pressed through its default action; and an object a client keeps
// after its window has gone.

#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/folders.h"
#include "core/handles_win.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "recording_views.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/protection_settings_window_win.h"
#include "ui/removal_windows_win.h"

namespace tolvar {
namespace {

struct Line {
    int depth = 0;
    long role = 0;
    std::string name;
    unsigned long state = 0;
    std::string value;
};

struct ClientRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
    std::vector<Line> tree() const {
        std::vector<Line> lines;
        std::istringstream in(output);
        std::string text;
        while (std::getline(in, text)) {
            if (!text.empty() && text.back() == '\r') text.pop_back();
            std::vector<std::string> fields;
            std::size_t start = 0;
            for (std::size_t tab; (tab = text.find('\t', start)) != std::string::npos;
                 start = tab + 1) {
                fields.push_back(text.substr(start, tab - start));
            }
            fields.push_back(text.substr(start));
            if (fields.size() != 5) continue;
            lines.push_back(Line{std::stoi(fields[0]), std::stol(fields[1]), fields[2],
                                 std::stoul(fields[3], nullptr, 16), fields[4]});
        }
        return lines;
    }
};

std::string ClientPath() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + "accessibility_client.exe";
}

// Starts the client with these arguments; its output goes to a file that
// is read once it has ended. This thread handles messages meanwhile: the
// client's questions come to its windows.
class Client {
public:
    explicit Client(const std::string& arguments) {
        char folder[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, folder);
        char file[MAX_PATH] = "";
        GetTempFileNameA(folder, "acc", 0, file);
        outputFile_ = file;
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        UniqueHandle output(CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherited, CREATE_ALWAYS, 0, nullptr));
        std::string command = "\"" + ClientPath() + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &process)) {
            process_.reset(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    ~Client() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
        }
        DeleteFileA(outputFile_.c_str());
    }
    bool started() const { return static_cast<bool>(process_); }

    ClientRun finish() {
        ClientRun run;
        if (!process_) return run;
        test::PumpUntil([this] { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; },
                        30000);
        GetExitCodeProcess(process_.get(), &run.exitCode);
        run.output = test::Content(outputFile_);
        return run;
    }

private:
    UniqueHandle process_;
    std::string outputFile_;
};

std::string Handle(const Form& form) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(form.handle()));
}

ClientRun TreeOf(const Form& form) {
    Client client("tree " + Handle(form));
    EXPECT_TRUE(client.started()) << "the accessibility client is not beside the tests";
    return client.finish();
}

const Line* Find(const std::vector<Line>& tree, const std::string& name, long role) {
    auto it = std::find_if(tree.begin(), tree.end(),
                           [&](const Line& l) { return l.name == name && l.role == role; });
    return it == tree.end() ? nullptr : &*it;
}

struct AccessibleMainWindow : testing::Test {
    AccessibleMainWindow() {
        ScanState = scan_state::kIdle;
        form.ShowStartPage();
        form.show();
        test::PumpUntil([this] { return form.keyboard().focused() != nullptr; }, 2000);
    }
    ~AccessibleMainWindow() override { ScanState = scan_state::kIdle; }
    test::RecordingCommands commands;
    TForm1 form{commands};
};

TEST_F(AccessibleMainWindow, EveryButtonIsAPushButtonNamedByItsHintOrCaption) {
    const ClientRun run = TreeOf(form);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<Line> tree = run.tree();
    ASSERT_FALSE(tree.empty()) << run.output;
    EXPECT_EQ(tree.front().role, ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(tree.front().name, "Tolvar AntiVirus");
    for (const char* name :
         {"Scan", "Results", "History", "Virus Database", "Options", "Minimize", "Close", "About",
          "Full Scan", "Scan Folders", "Start Scan", "Pause Scanning", "Resume Scanning",
          "Stop Scanning", "Remove Found Infections", "Check Now for updates",
          "Virus Database Settings", "Restore file to original location"}) {
        const Line* button = Find(tree, name, ROLE_SYSTEM_PUSHBUTTON);
        ASSERT_NE(button, nullptr) << name << " is no push button in\n" << run.output;
        EXPECT_TRUE(button->state & STATE_SYSTEM_FOCUSABLE) << name;
    }
    // The vault's own commands, which the skin's faces name only briefly.
    for (const char* name :
         {"Restore file to a seleteced location", "Delete from vault", "Restore and allow"}) {
        const Line* button = Find(tree, name, ROLE_SYSTEM_PUSHBUTTON);
        ASSERT_NE(button, nullptr) << name << " is no push button in\n" << run.output;
        EXPECT_TRUE(button->state & STATE_SYSTEM_FOCUSABLE) << name;
    }
    // Shown and focused: the first page button; the hidden pages' buttons
    // say they are not shown.
    const Line* scan = Find(tree, "Scan", ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(scan->state & STATE_SYSTEM_FOCUSED);
    EXPECT_FALSE(scan->state & STATE_SYSTEM_INVISIBLE);
    EXPECT_TRUE(Find(tree, "Check Now for updates", ROLE_SYSTEM_PUSHBUTTON)->state &
                STATE_SYSTEM_INVISIBLE);
    // The pictures that mean nothing on their own are left out.
    EXPECT_EQ(std::count_if(tree.begin(), tree.end(),
                            [](const Line& l) { return l.role == ROLE_SYSTEM_GRAPHIC; }),
              0);
}

TEST_F(AccessibleMainWindow, DuringAScanTheProgressLabelsListAndCommandStatesRead) {
    ScanView& page = form.scanPage();
    page.ShowProgressView();
    ScanState = scan_state::kScanning;
    page.ShowItemsScanned(7);
    page.ShowProgressBar(40);
    page.AddInfectionRow(InfectionRecord{"", "C:\\a.exe", "Worm "});
    form.skin().PaintProgressBar(1);
    const ClientRun run = TreeOf(form);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<Line> tree = run.tree();

    const Line* bar = Find(tree, "Scan progress", ROLE_SYSTEM_PROGRESSBAR);
    ASSERT_NE(bar, nullptr) << run.output;
    EXPECT_EQ(bar->value, "40%");
    EXPECT_NE(Find(tree, "Items Scanned: 7", ROLE_SYSTEM_STATICTEXT), nullptr) << run.output;
    const Line* list = Find(tree, "Infections", ROLE_SYSTEM_LIST);
    ASSERT_NE(list, nullptr) << run.output;
    EXPECT_NE(Find(tree, "Worm , C:\\a.exe", ROLE_SYSTEM_LISTITEM), nullptr) << run.output;
    // Start Scan does nothing while a scan runs, Stop does.
    EXPECT_TRUE(Find(tree, "Start Scan", ROLE_SYSTEM_PUSHBUTTON)->state & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_FALSE(Find(tree, "Stop Scanning", ROLE_SYSTEM_PUSHBUTTON)->state &
                 STATE_SYSTEM_UNAVAILABLE);

    // A new value reads at once.
    page.ShowProgressBar(75);
    form.skin().PaintProgressBar(1);
    const ClientRun later = TreeOf(form);
    const Line* moved = Find(later.tree(), "Scan progress", ROLE_SYSTEM_PROGRESSBAR);
    ASSERT_NE(moved, nullptr) << later.output;
    EXPECT_EQ(moved->value, "75%");
}

TEST_F(AccessibleMainWindow, FocusChangesReachTheClientAsEvents) {
    const std::string eventName = "TolvarAccessibilityReady" + std::to_string(GetTickCount64());
    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    Client client("focus " + Handle(form) + " 2 " + eventName);
    ASSERT_TRUE(client.started());
    ASSERT_TRUE(test::PumpUntil(
        [&] { return WaitForSingleObject(ready.get(), 0) == WAIT_OBJECT_0; }, 20000))
        << "the client did not start listening";
    form.keyboard().moveByTab(false);
    test::PumpUntil([] { return false; }, 200);
    form.keyboard().moveByTab(false);
    const ClientRun run = client.finish();
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("focus\t43\tResults"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("focus\t43\tHistory"), std::string::npos) << run.output;
}

TEST_F(AccessibleMainWindow, TheDefaultActionPressesTheButton) {
    Client client("press " + Handle(form) + " \"Full Scan\"");
    const ClientRun run = client.finish();
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    test::PumpUntil([this] { return !commands.given.empty(); }, 2000);
    EXPECT_EQ(commands.given, std::vector<std::string>{"StartScan"});
}

TEST(AccessibleMessageWindow, ADialogWithItsTextAndButtons) {
    Skin skin;
    skin.LoadSkin(Folders().ProgramFolder);
    TForm11 prompt(skin);
    prompt.ShowPrompt(2, [] {});
    const ClientRun run = TreeOf(prompt);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<Line> tree = run.tree();
    ASSERT_FALSE(tree.empty());
    EXPECT_EQ(tree.front().role, ROLE_SYSTEM_DIALOG);
    EXPECT_NE(Find(tree, "Remove", ROLE_SYSTEM_PUSHBUTTON), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Not Now", ROLE_SYSTEM_PUSHBUTTON), nullptr) << run.output;
    EXPECT_NE(Find(tree, prompt.Label1.caption(), ROLE_SYSTEM_STATICTEXT), nullptr) << run.output;
    prompt.close();
}

// A screen reader hears the engine's state and finds the box, the fields,
// the lists and the buttons by their names.
TEST(AccessibleProtectionWindow, TheStateTheBoxAndTheFieldRead) {
    ClamdDaemonOptions options;
    options.clamdExe = "C:\\no-clamd.exe";
    ClamdDaemon daemon(options);
    RealtimeProtection realtime(daemon);
    ProtectionSettingsWindow window(daemon, realtime);
    window.ShowSettings();
    const ClientRun run = TreeOf(window);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<Line> tree = run.tree();
    ASSERT_FALSE(tree.empty());
    EXPECT_NE(Find(tree, window.StateText.caption(), ROLE_SYSTEM_STATICTEXT), nullptr)
        << run.output;
    EXPECT_NE(Find(tree, window.KeepLoaded.captionText(), ROLE_SYSTEM_CHECKBUTTON), nullptr)
        << run.output;
    EXPECT_NE(Find(tree, "Engine address", ROLE_SYSTEM_TEXT), nullptr) << run.output;
    EXPECT_NE(Find(tree, "OK", ROLE_SYSTEM_PUSHBUTTON), nullptr) << run.output;
    // The exclusions' fields, list and buttons.
    EXPECT_NE(Find(tree, "Excluded folders", ROLE_SYSTEM_TEXT), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Ignored detection names", ROLE_SYSTEM_TEXT), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Allowed files", ROLE_SYSTEM_LIST), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Take Back", ROLE_SYSTEM_PUSHBUTTON), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Add Folder...", ROLE_SYSTEM_PUSHBUTTON), nullptr) << run.output;
    // The scheduled scan's field and choices.
    EXPECT_NE(Find(tree, "Scheduled scan time (HH:MM)", ROLE_SYSTEM_TEXT), nullptr) << run.output;
    EXPECT_NE(Find(tree, "Weekly", ROLE_SYSTEM_RADIOBUTTON), nullptr) << run.output;
    window.close();
}

// The announcements this thread's windows raise, as a client hears them.
class HeardEvents {
public:
    HeardEvents()
        : hook_(SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, &Heard,
                                GetCurrentProcessId(), GetCurrentThreadId(),
                                WINEVENT_OUTOFCONTEXT)) {
        current_ = this;
    }
    ~HeardEvents() {
        if (hook_) UnhookWinEvent(hook_);
        current_ = nullptr;
    }
    HeardEvents(const HeardEvents&) = delete;
    HeardEvents& operator=(const HeardEvents&) = delete;
    bool listening() const { return hook_ != nullptr; }
    int count(DWORD event, HWND window, LONG child) const {
        return static_cast<int>(std::count(heard.begin(), heard.end(),
                                           std::tuple<DWORD, HWND, LONG>{event, window, child}));
    }
    std::vector<std::tuple<DWORD, HWND, LONG>> heard;

private:
    static void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                               DWORD, DWORD) {
        if (current_ && object == OBJID_CLIENT) current_->heard.emplace_back(event, window, child);
    }
    static inline HeardEvents* current_ = nullptr;
    HWINEVENTHOOK hook_;
};

TEST(AccessibleEvents, ManyChangesInOneTurnAreOneAnnouncementAndAGoneControlIsNotTold) {
    Form form("Announcements", 200, 100);
    Label& status = form.add<Label>(10, 10, 150, 16, "Scanning");
    Label& hidden = form.add<Label>(10, 40, 150, 16, "Hidden");
    auto passing = std::make_unique<Form>("Passing", 100, 50);
    Label& gone = passing->add<Label>(10, 10, 80, 16, "Gone");
    form.show();
    passing->show();
    test::PumpUntil([] { return false; }, 100);
    HeardEvents events;
    ASSERT_TRUE(events.listening());
    // A busy display: a hundred captions before the loop turns once.
    for (int i = 0; i < 100; ++i)
        status.setCaption("Scanning: C:\\file" + std::to_string(i));
    // Changed, then hidden or gone before they could be told.
    hidden.setCaption("Changed");
    hidden.hide();
    gone.setCaption("Changed");
    passing.reset();
    test::PumpUntil([&] { return !events.heard.empty(); }, 2000);
    test::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(events.count(EVENT_OBJECT_NAMECHANGE, form.handle(), 1), 1);
    // Nothing for the hidden label or the gone one (the system tells of
    // the focus coming back to the window; that is its own).
    EXPECT_EQ(
        std::count_if(events.heard.begin(), events.heard.end(),
                      [](const auto& e) { return std::get<0>(e) == EVENT_OBJECT_NAMECHANGE; }),
        1);
}

TEST(AccessibleObjects, AnObjectKeptPastItsWindowSaysItIsGoneAndTouchesNothing) {
    Microsoft::WRL::ComPtr<IAccessible> kept;
    {
        Form form("Short-lived", 200, 100);
        form.add<Label>(10, 10, 100, 16, "Gone soon");
        kept = form.accessibleObject();
        ASSERT_TRUE(kept);
        long count = 0;
        ASSERT_EQ(kept->get_accChildCount(&count), S_OK);
        EXPECT_EQ(count, 1);
    }
    long count = -1;
    EXPECT_EQ(kept->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(kept->get_accName(self, &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(name, nullptr);
    VARIANT first = self;
    first.lVal = 1;
    EXPECT_EQ(kept->accDoDefaultAction(first), CO_E_OBJNOTCONNECTED);
}

}  // namespace
}  // namespace tolvar
