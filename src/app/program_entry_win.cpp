// Program entry: of the command line only the switch /tray is read.

#include <windows.h>

#include <commctrl.h>

#include "app/program_win.h"
#include "app/single_instance_win.h"
#include "core/com_apartment_win.h"
#include "core/command_line.h"
#include "framework/application_win.h"
#include "ui/splash_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    // Started at logon: the program waits in the tray, no window shown.
    const bool inTray = tolvar::AsksForTray(arguments ? arguments : "");
    // A second start only brings the running copy to the front.
    tolvar::SingleInstance single;
    if (single.AnotherCopyRuns()) {
        switch (tolvar::LeaveToRunningCopy(single)) {
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
        // The splash, modal before any other window exists: it closes itself
        // after its 100 ticks and stays, hidden, for the rest of the run. A
        // start into the tray shows none.
        tolvar::TForm10 splash;
        if (!inTray) splash.showModal();

        // The windows, main window first; its making runs the start-up.
        tolvar::Program program(splash);
        program.Run(inTray);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), "Tolvar Antivirus", MB_OK | MB_ICONSTOP);
        return 1;
    }
    return 0;
}
