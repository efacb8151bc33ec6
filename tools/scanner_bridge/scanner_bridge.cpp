// The scanner bridge: stands in for clamscan.exe in program folders laid out
// for Wine, and runs the Linux clamscan instead. The program starts it and
// reads its report exactly as it would the Windows scanner's; the bridge
// translates paths both ways and makes sure the Linux scan ends when the
// program stops it.
//
// How the two sides talk under Wine (a work folder, a heartbeat and a
// watchdog script): wine_bridge_win.h. clamscan's stdout and stderr go to a
// file the bridge follows and passes on, line by line, with Linux paths
// mapped back.
//
// Arguments: --memory, --unload and --kill mean nothing on Linux and are
// dropped; --database=FILE is kept when FILE exists; --file-list=FILE names
// a file of paths to scan, one a line in UTF-8; --exclude-dir=PATTERN, in
// the form the program makes, is given as the pattern that excludes the
// same folder's Linux path (exclude_pattern.h); every file in the folder
// named by TOLVAR_DEMO_SIGNATURES (a Windows or Linux path) is added as a
// database; other options pass through; everything else is a path to scan.
//
// With TOLVAR_BRIDGE_KEEP_REPORT set to a Linux file, clamscan's raw report
// is copied there and its arguments, one a line, to that file's name with
// ".args" added, once it has ended.
//
// It speaks like the Windows clamscan.exe of the version that
// TOLVAR_BRIDGE_MODE names:
//
//   oem (or 1.4; the default)  the report in the system's OEM code page, with
//                              "?" for each character that page lacks, and
//                              the command line read in the ANSI code page
//   utf8 (or 1.5)              the report and the command line in UTF-8
//
// "LibClamAV ..." lines are UTF-8 in both, as that library writes them.
// Paths below a network share that was given as a target are reported as
// clamscan.exe reports them, in the form "\\?\UNC\server\share\...".

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_pages.h"
#include "scanner_bridge/exclude_pattern.h"
#include "wine_bridge/wine_bridge_win.h"

namespace {

using namespace tolvar::bridge;

constexpr char kStartError[] = "ERROR: the scanner bridge could not start clamscan";

// ---- the Windows scanner's ways --------------------------------------------

enum class ReportMode { Oem, Utf8 };

ReportMode ModeFromEnvironment() {
    char mode[16] = "";
    const DWORD n = GetEnvironmentVariableA("TOLVAR_BRIDGE_MODE", mode, sizeof mode);
    const std::string_view text(mode, n < sizeof mode ? n : 0);
    return text == "utf8" || text == "1.5" ? ReportMode::Utf8 : ReportMode::Oem;
}

// A line of the report as the scanner of this mode writes it.
std::string Encoded(std::wstring_view line, ReportMode mode) {
    if (mode == ReportMode::Utf8 || StartsWith(line, L"LibClamAV ")) {
        return Narrow(line, CP_UTF8);
    }
    // No best fit: a character the OEM page lacks comes out as "?".
    const UINT oem = tolvar::SystemCodePages().oem;
    const int n = WideCharToMultiByte(oem, WC_NO_BEST_FIT_CHARS, line.data(),
                                      static_cast<int>(line.size()), nullptr, 0, "?", nullptr);
    if (n <= 0) return Narrow(line, CP_UTF8);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(oem, WC_NO_BEST_FIT_CHARS, line.data(), static_cast<int>(line.size()),
                        out.data(), n, "?", nullptr);
    return out;
}

// The arguments as the scanner of this mode reads them: before 1.5 in the
// ANSI code page (a character that page lacks is lost), from 1.5 exactly.
// In UTF-8.
std::vector<std::string> ArgumentsOf(ReportMode mode, int argc, char** argv) {
    std::vector<std::string> args;
    if (mode == ReportMode::Utf8) {
        // Windows' own split of the command line, unless it failed (none
        // where the C runtime found some).
        const std::vector<std::wstring> wide = Arguments();
        if (!wide.empty() || argc <= 1) {
            for (const std::wstring& arg : wide)
                args.push_back(Narrow(arg, CP_UTF8));
            return args;
        }
    }
    for (int i = 1; i < argc; ++i)
        args.push_back(Narrow(Widen(argv[i], CP_ACP), CP_UTF8));
    return args;
}

// ---- the report -------------------------------------------------------------

// A report line with its Linux path put back in Windows form. Lines name a
// file first ("/x/a.txt: OK"); clamscan's warnings and errors about a file
// name it after their tag ("WARNING: /x: Can't access file").
// The line comes from the Linux clamscan in UTF-8 and goes out as the
// Windows scanner of the mode writes it.
std::string WindowsLine(const WinePaths& wine, std::string line, ReportMode mode) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (std::string_view tag : {"", "WARNING: ", "ERROR: "}) {
        if (!StartsWith(line, tag) || line.size() <= tag.size() || line[tag.size()] != '/') {
            continue;
        }
        const std::size_t end = line.find(": ", tag.size());
        if (end == std::string::npos) break;
        if (std::optional<std::wstring> path =
                wine.ToWindows(line.substr(tag.size(), end - tag.size()))) {
            return Encoded(Widen(tag, CP_UTF8) + *path + Widen(line.substr(end), CP_UTF8), mode);
        }
        break;
    }
    return Encoded(Widen(line, CP_UTF8), mode);
}

// ---- the script -----------------------------------------------------------------

std::string Script(const std::string& work, const std::string& folder,
                   const std::vector<std::string>& clamscanArgs) {
    std::string args;
    for (const std::string& arg : clamscanArgs)
        args += " " + ShellQuote(arg);
    std::string s = ScriptStart("Written by the scanner bridge for one scan.", work, folder,
                                "/usr/local/bin:/usr/bin:/bin");
    s += RequireProgram("clamscan", std::string(kStartError) + " (it is not installed)");
    // Tests compare what the program recorded with clamscan's own report,
    // and see which databases clamscan was given (its arguments, one a line,
    // in <report>.args).
    s += WatchedRun("clamscan" + args,
                    "if [ -n \"${TOLVAR_BRIDGE_KEEP_REPORT:-}\" ]; then cp \"$w/out\" "
                    "\"$TOLVAR_BRIDGE_KEEP_REPORT\"; printf '%s\\n'" +
                        args + " >\"$TOLVAR_BRIDGE_KEEP_REPORT.args\"; fi\n");
    return s;
}

// ---- the bridge -----------------------------------------------------------------

int Fail(const char* message) {
    WriteOut(std::string(message) + "\r\n");
    return 2;
}

struct ScanArguments {
    std::vector<std::string> clamscan;  // Linux side, in order
    bool lostPath = false;              // a path with no Linux equivalent
    bool anyPath = false;
    std::optional<int> exitNow;  // the scanner's own end, before any scan
};

constexpr int kFileListUnreadable = 54;  // clamscan's exit code for it

// The lines of a --file-list file (UTF-8), without their terminators;
// nothing when it cannot be read whole.
std::optional<std::vector<std::string>> FileListLines(const std::string& file) {
    const std::optional<std::string> text = ReadWholeFile(Widen(file, CP_UTF8));
    if (!text) return std::nullopt;
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::optional<ScanArguments> MapArguments(WinePaths& wine, const std::vector<std::string>& given,
                                          ReportMode mode) {
    ScanArguments mapped;
    std::vector<std::string> paths;
    std::vector<std::string> args;
    std::optional<std::vector<std::string>> listed;
    for (const std::string& arg : given) {
        if (!StartsWith(arg, "--file-list=")) {
            args.push_back(arg);
            continue;
        }
        listed = FileListLines(arg.substr(12));
        if (!listed) {
            if (!WriteOut(Encoded(L"ERROR: --file-list: Can't open file " +
                                      Widen(arg.substr(12), CP_UTF8) + L"\r\n",
                                  mode))) {
                return std::nullopt;
            }
            mapped.exitNow = kFileListUnreadable;
            return mapped;
        }
    }
    // With a file list the scanner scans what it lists, not what the command
    // line names.
    if (listed) {
        args.erase(std::remove_if(args.begin(), args.end(),
                                  [](const std::string& a) { return !StartsWith(a, "--"); }),
                   args.end());
        args.insert(args.end(), listed->begin(), listed->end());
    }
    for (const std::string& arg : args) {
        if (arg == "--memory" || arg == "--unload" || arg == "--kill") continue;
        if (StartsWith(arg, "--database=")) {
            const std::wstring file = Widen(std::string_view(arg).substr(11), CP_UTF8);
            if (!Exists(file)) continue;
            if (std::optional<std::string> linuxPath = wine.ToUnix(file)) {
                mapped.clamscan.push_back("--database=" + *linuxPath);
            }
            continue;
        }
        if (StartsWith(arg, "--exclude-dir=")) {
            // The same folder in Linux form: an exclusion lost here would
            // have Debian's clamscan report what the program excluded.
            const std::optional<std::string> pattern = LinuxExcludePattern(
                std::string_view(arg).substr(14),
                [&](const std::string& root) { return wine.ToUnix(Widen(root, CP_UTF8)); });
            if (!pattern) {
                if (!WriteOut("ERROR: the scanner bridge cannot translate " + arg + "\r\n")) {
                    return std::nullopt;
                }
                mapped.exitNow = 2;
                return mapped;
            }
            mapped.clamscan.push_back("--exclude-dir=" + *pattern);
            continue;
        }
        if (StartsWith(arg, "--")) {
            mapped.clamscan.push_back(arg);
            continue;
        }
        mapped.anyPath = true;
        const std::wstring path = Widen(arg, CP_UTF8);
        if (std::optional<std::string> linuxPath = wine.ToUnix(path)) {
            wine.Remember(*linuxPath, path);
            paths.push_back(*linuxPath);
        } else {
            // What clamscan says of a path it cannot reach.
            if (!WriteOut(Encoded(L"WARNING: " + path + L": Can't access file\r\n", mode))) {
                return std::nullopt;
            }
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
    // Below a share given as a target, paths come back as clamscan.exe
    // reports them.
    WinePaths wine(SharePaths::Unc);
    if (!wine.Load()) return Fail(kStartError);

    const ReportMode mode = ModeFromEnvironment();
    std::optional<ScanArguments> args = MapArguments(wine, ArgumentsOf(mode, argc, argv), mode);
    if (!args) return 2;
    if (args->exitNow) return *args->exitNow;
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
            lines += WindowsLine(wine, pending.substr(start, end - start), mode) + "\r\n";
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
        case ScriptEnd::WatchdogGone:
            return Fail("ERROR: the scanner bridge lost clamscan (its watchdog stopped)");
        case ScriptEnd::FolderGone:
            return Fail("ERROR: the scanner bridge lost clamscan (its work folder is gone)");
    }
    if (!pending.empty() && !WriteOut(WindowsLine(wine, pending, mode) + "\r\n")) return 2;
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
