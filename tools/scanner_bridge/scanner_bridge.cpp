// The scanner bridge: stands in for clamscan.exe in program folders laid out
// for Wine, and runs the Linux clamscan instead. The program starts it and
// reads its report exactly as it would the Windows scanner's; the bridge
// translates paths both ways and makes sure the Linux scan ends when the
// program stops it (how the two sides talk: wine_bridge_win.h). The Linux
// side writes clamscan's stdout and stderr to a file the bridge follows and
// passes on, line by line, with Linux paths mapped back.
//
// Arguments: --memory, --unload and --kill mean nothing on Linux and are
// dropped; --database=FILE is kept when FILE exists; every file in the folder
// named by TOLVAR_DEMO_SIGNATURES (a Windows or Linux path) is added as a
// database; other options pass through; everything else is a path to scan.

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles_win.h"
#include "wine_bridge/wine_bridge_win.h"

namespace {

using namespace tolvar::bridge;

constexpr char kStartError[] = "ERROR: the scanner bridge could not start clamscan";

// ---- output -------------------------------------------------------------------

// A report line with its Linux path put back in Windows form. Lines name a
// file first ("/x/a.txt: OK"); clamscan's warnings and errors about a file
// name it after their tag ("WARNING: /x: Can't access file").
std::string WindowsLine(const WinePaths& wine, std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (std::string_view tag : {"", "WARNING: ", "ERROR: "}) {
        if (!StartsWith(line, tag) || line.size() <= tag.size() || line[tag.size()] != '/') {
            continue;
        }
        const std::size_t end = line.find(": ", tag.size());
        if (end == std::string::npos) break;
        if (std::optional<std::wstring> path =
                wine.ToWindows(line.substr(tag.size(), end - tag.size()))) {
            return std::string(tag) + Narrow(*path, CP_ACP) + line.substr(end);
        }
        break;
    }
    return line;
}

// ---- the script -----------------------------------------------------------------

std::string Script(const std::string& work, const std::string& folder,
                   const std::vector<std::string>& clamscanArgs) {
    std::string command = "clamscan";
    for (const std::string& arg : clamscanArgs)
        command += " " + ShellQuote(arg);
    std::string s = ScriptStart("Written by the scanner bridge for one scan.", work, folder);
    s += RequireProgram("clamscan", std::string(kStartError) + " (it is not installed)");
    // Tests compare what the program recorded with clamscan's own report.
    s += WatchedRun(command, "if [ -n \"${TOLVAR_BRIDGE_KEEP_REPORT:-}\" ]; then cp \"$w/out\" "
                             "\"$TOLVAR_BRIDGE_KEEP_REPORT\"; fi\n");
    return s;
}

// ---- the bridge -----------------------------------------------------------------

int Fail(const char* message) {
    WriteOut(std::string(message) + "\r\n");
    return 2;
}

struct Arguments {
    std::vector<std::string> clamscan;  // Linux side, in order
    bool lostPath = false;              // a path with no Linux equivalent
    bool anyPath = false;
};

std::optional<Arguments> MapArguments(WinePaths& wine, int argc, char** argv) {
    Arguments mapped;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--memory" || arg == "--unload" || arg == "--kill") continue;
        if (StartsWith(arg, "--database=")) {
            const std::wstring file = Widen(std::string_view(arg).substr(11), CP_ACP);
            if (!Exists(file)) continue;
            if (std::optional<std::string> linuxPath = wine.ToUnix(file)) {
                mapped.clamscan.push_back("--database=" + *linuxPath);
            }
            continue;
        }
        if (StartsWith(arg, "--")) {
            mapped.clamscan.push_back(arg);
            continue;
        }
        mapped.anyPath = true;
        const std::wstring path = Widen(arg, CP_ACP);
        if (std::optional<std::string> linuxPath = wine.ToUnix(path)) {
            wine.Remember(*linuxPath, path);
            paths.push_back(*linuxPath);
        } else {
            // What clamscan says of a path it cannot reach.
            if (!WriteOut("WARNING: " + arg + ": Can't access file\r\n")) return std::nullopt;
            mapped.lostPath = true;
        }
    }

    char demo[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA("TOLVAR_DEMO_SIGNATURES", demo, sizeof demo);
    if (n > 0 && n < sizeof demo) {
        std::optional<std::wstring> folder;
        if (demo[0] == '/') {
            folder = wine.ToWindows(demo);
        } else {
            folder = Widen(demo, CP_ACP);
        }
        if (folder) {
            while (folder->size() > 3 && folder->back() == L'\\')
                folder->pop_back();
            for (const std::wstring& file : FilesIn(*folder)) {
                if (std::optional<std::string> linuxPath = wine.ToUnix(file)) {
                    mapped.clamscan.push_back("--database=" + *linuxPath);
                }
            }
        }
    }
    mapped.clamscan.insert(mapped.clamscan.end(), paths.begin(), paths.end());
    return mapped;
}

int Run(int argc, char** argv) {
    WinePaths wine;
    if (!wine.Load()) return Fail(kStartError);

    std::optional<Arguments> args = MapArguments(wine, argc, argv);
    if (!args) return 2;
    if (args->anyPath && args->lostPath &&
        std::none_of(args->clamscan.begin(), args->clamscan.end(),
                     [](const std::string& a) { return !StartsWith(a, "--"); })) {
        return 2;  // every path was lost; clamscan would scan its folder instead
    }

    WorkFolder work;
    if (!work.Create(L"tolvar-bridge-")) return Fail(kStartError);
    const std::optional<std::string> workUnix = wine.ToUnix(work.path());
    wchar_t current[MAX_PATH * 2];
    const DWORD currentLength = GetCurrentDirectoryW(MAX_PATH * 2, current);
    const std::optional<std::string> currentUnix =
        currentLength > 0 && currentLength < MAX_PATH * 2 ? wine.ToUnix(current) : std::nullopt;
    if (!workUnix) return Fail(kStartError);

    if (!WriteWholeFile(work.File(L"out"), {}) ||
        !WriteWholeFile(work.File(L"run.sh"),
                        Script(*workUnix, currentUnix.value_or("/"), args->clamscan))) {
        return Fail(kStartError);
    }
    tolvar::UniqueHandle report(CreateFileW(work.File(L"out").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    Heartbeat heartbeat(work.File(L"alive"));
    if (!report || !heartbeat.Start() ||
        !StartScript(*workUnix + "/run.sh", work.File(L"sh.log"))) {
        return Fail(kStartError);
    }

    // Every complete line is passed on; an unfinished last line waits for
    // the rest of it.
    std::string pending;
    const auto pass = [&](std::string_view bytes) {
        pending.append(bytes);
        std::string lines;
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines += WindowsLine(wine, pending.substr(start, end - start)) + "\r\n";
        }
        pending.erase(0, start);
        return lines.empty() || WriteOut(lines);
    };
    const Followed followed = FollowScript(work, report.get(), pass);
    switch (followed.end) {
        case ScriptEnd::Exited:
            break;
        case ScriptEnd::ReaderGone:
            return 2;  // nobody reads: give up
        case ScriptEnd::NeverStarted:
            return Fail(kStartError);
        case ScriptEnd::Lost:
            return Fail("ERROR: the scanner bridge lost clamscan");
    }
    if (!pending.empty() && !WriteOut(WindowsLine(wine, pending) + "\r\n")) return 2;
    const int rc = followed.exitCode;
    if (rc == 126 || rc == 127) return Fail(kStartError);
    if (rc < 0 || rc > 2) {
        WriteOut("ERROR: clamscan ended with code " + std::to_string(rc) + "\r\n");
        return 2;
    }
    return rc == 0 && args->lostPath ? 2 : rc;
}

}  // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
