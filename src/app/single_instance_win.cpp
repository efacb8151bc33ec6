#include "app/single_instance_win.h"

#include <cstring>

#include "framework/window_classes.h"
#include "ui/main_form_win.h"

namespace tolvar {

namespace {

// In the global namespace, so that a copy in another session counts too:
// they share the data folder and the settings. Only administrators may make
// a global name, so a program without their rights cannot take it first.
constexpr const char* kInstanceName = "Global\\Mirebrook.TolvarAntiVirus.Running";

}  // namespace

SingleInstance::SingleInstance() : claim_(CreateMutexA(nullptr, TRUE, kInstanceName)) {
    const DWORD error = GetLastError();
    // Denied: the name exists and is another user's copy's.
    anotherCopy_ = claim_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

SingleInstance::~SingleInstance() {
    if (claim_ && !anotherCopy_) ReleaseMutex(claim_.get());
}

bool SingleInstance::WaitForTheOtherToEnd(unsigned long timeoutMs) {
    if (!anotherCopy_) return true;
    if (!claim_) return false;
    // The other copy holds the name until it ends; ended without letting go,
    // it is abandoned, and ours all the same.
    const DWORD waited = WaitForSingleObject(claim_.get(), timeoutMs);
    anotherCopy_ = waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED;
    return !anotherCopy_;
}

bool BringRunningCopyForward() {
    // Window titles compare without regard to case, and the splash, which
    // stays for the run, carries the program's title "Tolvar Antivirus":
    // the main window is the one whose caption is exactly its own.
    HWND main = nullptr;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            char name[64] = "";
            char caption[64] = "";
            GetClassNameA(window, name, sizeof name);
            GetWindowTextA(window, caption, sizeof caption);
            if (std::strcmp(name, window_class::kForm) != 0 ||
                std::strcmp(caption, TForm1::kCaption) != 0) {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&main));
    if (!main) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    // This start came from the user, so it may hand the foreground on.
    AllowSetForegroundWindow(process);
    // The window of a copy that is being ended can linger for a while: only
    // an answer shows that the copy is there to come forward.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(main, TForm1::BringToFrontMessage(), 0, 0,
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &answer) != 0 &&
           answer == TForm1::kBroughtToFront;
}

bool LeaveToRunningCopy(SingleInstance& instance) {
    // Longer than a splash shows, and than a copy being ended takes to go.
    const ULONGLONG giveUp = GetTickCount64() + 15000;
    while (GetTickCount64() < giveUp) {
        if (BringRunningCopyForward()) return true;
        if (instance.WaitForTheOtherToEnd(100)) return false;
    }
    return true;
}

}  // namespace tolvar
