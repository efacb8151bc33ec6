// Program entry: the command line's /tray and /scan. A start that finds the
// program running hands its paths to it, or brings it forward, and ends.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "app/program_win.h"
#include "app/single_instance_win.h"
#include "core/app_error.h"
#include "core/com_apartment_win.h"
#include "core/command_line.h"
#include "core/program_arguments_win.h"
#include "core/wide_text_win.h"
#include "framework/application_win.h"
#include "protection/scan_request_client_win.h"
#include "ui/splash_window_win.h"

namespace {

// Hands the paths to the running copy, trying for up to waitMs while it has
// no pipe yet (it is starting) or is busy with another request.
tolvar::RunningCopy HandScanToRunningCopy(tolvar::SingleInstance& instance,
                                          const std::vector<std::string>& paths,
                                          unsigned long waitMs = 15000) {
    const ULONGLONG giveUp = GetTickCount64() + waitMs;
    do {
        const tolvar::HandOver handOver = tolvar::HandScanRequestOver(paths, 1000);
        if (handOver.outcome == tolvar::HandOver::Outcome::Delivered) {
            return tolvar::RunningCopy::BroughtForward;
        }
        if (instance.WaitForTheOtherToEnd(100)) return tolvar::RunningCopy::Ended;
    } while (GetTickCount64() < giveUp);
    return tolvar::RunningCopy::NotAnswering;
}

// Makes the request pipe; a copy being ended may still hold it a moment.
std::unique_ptr<tolvar::ScanRequestPipe> OpenRequestPipe(std::string& problem) {
    for (int attempt = 0;; ++attempt) {
        try {
            return std::make_unique<tolvar::ScanRequestPipe>();
        } catch (const tolvar::AppError& e) {
            if (attempt == 20) {
                problem = e.what();
                return nullptr;
            }
            Sleep(100);
        }
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const tolvar::ProgramArguments arguments =
        tolvar::ReadProgramArguments(tolvar::ThisProgramsArguments());
    // Read against this start's current folder, which the running copy
    // does not share.
    const std::vector<std::string> scanPaths = tolvar::FullPathsOf(arguments.scanPaths);
    // Started at logon: the program waits in the tray, no window shown. A
    // scan asked for shows its window.
    const bool inTray = arguments.tray && scanPaths.empty();
    // A second start only brings the running copy to the front, with the
    // paths it was given to scan.
    tolvar::SingleInstance single;
    if (single.AnotherCopyRuns()) {
        const tolvar::RunningCopy copy = scanPaths.empty()
                                             ? tolvar::LeaveToRunningCopy(single)
                                             : HandScanToRunningCopy(single, scanPaths);
        switch (copy) {
            case tolvar::RunningCopy::BroughtForward:
                return 0;
            case tolvar::RunningCopy::NotAnswering:
                MessageBoxA(nullptr, tolvar::NotAnsweringNotice().c_str(), "Tolvar Antivirus",
                            MB_OK | MB_ICONWARNING);
                return 1;
            case tolvar::RunningCopy::Ended:
                break;
        }
    }
    // COM for the shell's folder picker, for the whole run.
    const tolvar::ComApartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        tolvar::Application app(instance);
        app.setTitle("Tolvar Antivirus");
        // Before the splash: Explorer's requests are kept while the program
        // starts.
        std::string pipeProblem;
        const std::unique_ptr<tolvar::ScanRequestPipe> requests = OpenRequestPipe(pipeProblem);
        // The splash, modal before any other window exists: it closes itself
        // after its 100 ticks and stays, hidden, for the rest of the run. A
        // start into the tray shows none.
        tolvar::TForm10 splash;
        if (!inTray) splash.showModal();

        // The windows, main window first; its making runs the start-up.
        tolvar::Program program(splash);
        std::string word = tolvar::IgnoredArgumentsNotice(arguments.ignored);
        if (!pipeProblem.empty()) {
            word = (word.empty() ? "" : word + " ") +
                   "Scans from Explorer's menu are off: " + pipeProblem;
        }
        program.TakeScanRequests(requests.get(), scanPaths, word);
        program.Run(inTray);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), "Tolvar Antivirus", MB_OK | MB_ICONSTOP);
        return 1;
    }
    return 0;
}
