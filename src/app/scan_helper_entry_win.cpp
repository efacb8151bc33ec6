// TolvarScan.exe, the program behind Explorer's "Scan with Tolvar
// AntiVirus": it runs without elevation, so a right-click scan raises no
// consent prompt while the program runs. It hands its paths to the running
// program through the request pipe, and only when none runs starts
// AntiVirus.exe with them (one consent). Explorer starts one helper per
// selected item, all at once: the first to find no program starts it and
// the others wait for it and hand over, so a selection gives one start and
// one prompt, and one refused prompt is not asked again by each of them.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/handles_win.h"
#include "core/program_arguments_win.h"
#include "core/system_error_win.h"
#include "core/wide_text_win.h"
#include "protection/scan_request_client_win.h"

namespace {

using tolvar::HandOver;

// How long the helpers wait for the program they started (its consent
// prompt included) before they give up.
constexpr ULONGLONG kStartPatienceMs = 120000;
// A refused prompt holds the others back this long.
constexpr DWORD kRefusalHeldMs = 10000;

std::wstring ProgramBesideThis() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"AntiVirus.exe";
}

int Tell(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, tolvar::Utf8ToWide(text).c_str(), L"Tolvar AntiVirus", MB_OK | icon);
    return 1;
}

// Starts the program with the paths; the consent prompt shows here. The
// process while it runs, or nothing (the prompt refused, the program not
// found: error tells).
tolvar::UniqueHandle StartProgram(const std::vector<std::string>& paths, DWORD& error) {
    std::string parameters = "/scan";
    for (const std::string& path : paths)
        parameters += " " + tolvar::QuoteArgument(path);
    const std::wstring program = ProgramBesideThis();
    const std::wstring wideParameters = tolvar::Utf8ToWide(parameters);
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = wideParameters.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&start)) {
        error = GetLastError();
        return {};
    }
    return tolvar::UniqueHandle(start.hProcess);
}

// Waits until the started program serves its pipe (then the helpers queued
// behind this one hand over to it), or has ended.
void AwaitPipe(HANDLE process) {
    const std::wstring pipe = tolvar::Utf8ToWide(tolvar::kScanRequestPipe);
    const ULONGLONG giveUp = GetTickCount64() + kStartPatienceMs;
    while (GetTickCount64() < giveUp) {
        if (WaitNamedPipeW(pipe.c_str(), 0) || GetLastError() != ERROR_FILE_NOT_FOUND) return;
        if (process && WaitForSingleObject(process, 200) == WAIT_OBJECT_0) return;
        if (!process) Sleep(200);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const tolvar::ProgramArguments arguments =
        tolvar::ReadProgramArguments(tolvar::ThisProgramsArguments());
    const std::vector<std::string> paths = tolvar::FullPathsOf(arguments.scanPaths);
    if (paths.empty()) {
        return Tell(
            "TolvarScan.exe hands files and folders to Tolvar AntiVirus to scan:\n\n"
            "TolvarScan.exe /scan PATH...",
            MB_ICONINFORMATION);
    }

    HandOver handOver = tolvar::HandScanRequestOver(paths);
    if (handOver.outcome == HandOver::Outcome::NoProgram) {
        // One helper at a time decides whether to start the program.
        const tolvar::UniqueHandle starting(
            CreateMutexW(nullptr, FALSE, L"Local\\Mirebrook.TolvarScan.Starting"));
        const DWORD waited =
            starting ? WaitForSingleObject(starting.get(), kStartPatienceMs + 5000) : WAIT_FAILED;
        const bool holding = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        const tolvar::UniqueHandle refused(
            OpenEventW(SYNCHRONIZE, FALSE, L"Local\\Mirebrook.TolvarScan.Refused"));
        if (refused) {
            if (holding) ReleaseMutex(starting.get());
            return 1;  // the user just said no to the program's start
        }
        handOver = tolvar::HandScanRequestOver(paths);
        if (handOver.outcome == HandOver::Outcome::NoProgram) {
            DWORD error = ERROR_SUCCESS;
            const tolvar::UniqueHandle program = StartProgram(paths, error);
            if (!program && error == ERROR_CANCELLED) {
                const tolvar::UniqueHandle marker(
                    CreateEventW(nullptr, TRUE, FALSE, L"Local\\Mirebrook.TolvarScan.Refused"));
                if (holding) ReleaseMutex(starting.get());
                Sleep(kRefusalHeldMs);
                return 1;
            }
            if (program || error == ERROR_SUCCESS) AwaitPipe(program.get());
            if (holding) ReleaseMutex(starting.get());
            if (!program && error != ERROR_SUCCESS) {
                return Tell(
                    "Tolvar AntiVirus could not be started: " + tolvar::SystemErrorText(error),
                    MB_ICONWARNING);
            }
            return 0;  // the program has the paths from its command line
        }
        if (holding) ReleaseMutex(starting.get());
    }
    if (handOver.outcome == HandOver::Outcome::Failed) {
        return Tell("Tolvar AntiVirus did not take the scan: " + handOver.why, MB_ICONWARNING);
    }
    // What the program refused it tells in its own window.
    return handOver.reply.taken > 0 ? 0 : 1;
}
