#include "app/single_instance_win.h"

#include "framework/window_classes.h"
#include "ui/main_form_win.h"

namespace tolvar {

namespace {

// In the global namespace, so that a copy in another session counts too:
// they share the data folder and the settings. Only administrators may make
// a global name, so a program without their rights cannot take it first.
constexpr const char* kInstanceName = "Global\\Mirebrook.TolvarAntiVirus.Running";

}  // namespace

SingleInstance::SingleInstance() : claim_(CreateMutexA(nullptr, FALSE, kInstanceName)) {
    const DWORD error = GetLastError();
    // Denied: the name exists and is another user's copy's.
    anotherCopy_ = claim_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

bool BringRunningCopyForward() {
    HWND main = FindWindowA(window_class::kForm, TForm1::kCaption);
    if (!main) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    // This start came from the user, so it may hand the foreground on.
    AllowSetForegroundWindow(process);
    return PostMessageA(main, TForm1::BringToFrontMessage(), 0, 0) != FALSE;
}

}  // namespace tolvar
