// Program entry: no command-line arguments are read.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/start_up.h"
#include "core/app_error.h"
#include "core/windows_version.h"
#include "framework/application_win.h"
#include "quarantine/removal.h"
#include "ui/download_window_win.h"
#include "ui/failure_notice_win.h"
#include "ui/main_form_win.h"
#include "ui/program_windows_win.h"
#include "ui/update_prompt_win.h"
#include "ui/update_settings_window_win.h"

namespace {

// Every skin button shows its face and the progress bar its track once all
// windows exist.
void FirstPaint(tolvar::TForm1& mainForm) {
    try {
        tolvar::Skin& skin = mainForm.skin();
        skin.Slots().flags(1).Selected = true;
        skin.PaintProgressBar(1);
        for (int n = 1; n <= tolvar::SlotTable::SlotCount; ++n)
            skin.PaintSlot(n);
    } catch (const tolvar::AppError&) {
        // A window without its faces is still usable; the load error was
        // already reported.
    }
}

}  // namespace

namespace {

// COM for the shell's folder picker, for the whole run.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (ok_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool ok_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ComApartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        tolvar::Application app(instance);
        app.setTitle("Tolvar Antivirus");
        // The splash, modal before any other window exists: it closes itself
        // after its 100 ticks and stays, hidden, for the rest of the run. (The
        // application object above is already initialised.)
        tolvar::TForm10 splash;
        tolvar::Windows().Form10 = &splash;
        splash.showModal();

        // The windows, main window first: its creation runs StartUp.
        tolvar::TForm1 mainForm;
        tolvar::TForm2 form2;
        tolvar::TForm3 form3(mainForm.skin(), mainForm.scan());
        tolvar::TForm6 form6(mainForm.skin());
        tolvar::TForm7 form7(mainForm.skin());
        tolvar::TForm11 form11(mainForm.skin());
        tolvar::TForm16 form16(mainForm.skin(), mainForm.scan());
        tolvar::TForm17 form17(mainForm.skin());
        tolvar::ScanFailedForm scanFailed(mainForm.skin());
        tolvar::TForm14 form14(mainForm.skin());
        tolvar::TForm8 form8(mainForm.skin(), form14);
        tolvar::TForm15 form15(mainForm.skin());
        tolvar::TForm12 form12;
        tolvar::ProgramWindows& windows = tolvar::Windows();
        windows.Form2 = &form2;
        windows.Form3 = &form3;
        windows.Form6 = &form6;
        windows.Form7 = &form7;
        windows.InfectionsFound = [&] {
            form11.ShowPrompt(mainForm.scan().Parser().InfectionCount(),
                              [&] { tolvar::StartRemoval(mainForm); });
        };
        windows.Form16 = &form16;
        windows.Form17 = &form17;
        windows.ScanFailed = &scanFailed;
        windows.Form8 = &form8;
        windows.Form14 = &form14;
        windows.Form15 = &form15;
        form8.stopUpdateCheck = [&] { mainForm.Timer2.setEnabled(false); };
        form14.openSettings = [&] { mainForm.OpenDatabaseSettings(); };
        form15.openDownload = [&] { form8.showModal(); };
        windows.OpenUpdateSettings = [&] { form12.ShowSettings(); };

        if (tolvar::IsNewWindowsVersion()) {
            // The hidden owner window keeps no taskbar button of its own.
            HWND owner = app.ownerWindow();
            SetWindowLongA(owner, GWL_EXSTYLE,
                           GetWindowLongA(owner, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
        }
        FirstPaint(mainForm);
        app.run(mainForm);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), "Tolvar Antivirus", MB_OK | MB_ICONSTOP);
        return 1;
    }
    return 0;
}
