// Stands in for AntiVirus.exe beside a copy of TolvarScan.exe in the tests,
// with the program's own request pipe: each start appends its command
// line's paths to started.txt beside it (one start a line), each request
// the pipe takes goes to requests.txt (one a line), and it ends once no
// request has come for five seconds.

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/command_line.h"
#include "core/program_arguments_win.h"
#include "core/wide_text_win.h"
#include "protection/scan_request_pipe_win.h"

namespace {

std::wstring Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

void Append(const wchar_t* file, const std::vector<std::string>& paths) {
    std::string line;
    for (const std::string& path : paths)
        line += (line.empty() ? "" : "|") + path;
    std::ofstream(std::filesystem::path(Beside(file)), std::ios::app | std::ios::binary)
        << line << "\n";
}

}  // namespace

int main() {
    const tolvar::ProgramArguments arguments =
        tolvar::ReadProgramArguments(tolvar::ThisProgramsArguments());
    // As the program does: the pipe first, then the slower rest of a start.
    tolvar::ScanRequestPipe pipe;
    Append(L"started.txt", arguments.scanPaths);
    ULONGLONG quietSince = GetTickCount64();
    while (GetTickCount64() - quietSince < 5000) {
        Sleep(50);
        for (const tolvar::ScanRequestPipe::Arrival& arrival : pipe.Take()) {
            Append(L"requests.txt", arrival.targets);
            quietSince = GetTickCount64();
        }
    }
    return 0;
}
