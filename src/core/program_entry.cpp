// Program entry: no command-line arguments are read.

#include <windows.h>

#include <commctrl.h>

#include "framework/application.h"
#include "ui/main_form.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        tolvar::Application app(instance);
        app.setTitle("Tolvar Antivirus");
        tolvar::TForm1 mainForm;
        app.run(mainForm);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), "Tolvar Antivirus", MB_OK | MB_ICONSTOP);
        return 1;
    }
    return 0;
}
