// The updater bridge: stands in for freshclam.exe in program folders laid
// out for Wine and runs the Linux freshclam instead, the way the scanner
// bridge runs clamscan (see wine_bridge_win.h for how the two sides talk).
// The program starts it and reads its output exactly as it would ClamAV's
// Windows updater; the bridge translates paths both ways, passes the output
// on as it comes, returns freshclam's exit code, and makes sure the Linux
// freshclam ends when the program ends the bridge (its Cancel).
//
// Arguments: --config-file=FILE is read and written anew into the work
// folder with its DatabaseDirectory in Linux form and the Linux user as
// DatabaseOwner (freshclam started by root would otherwise switch to a user
// who may not write the folder); --datadir=FOLDER is mapped; other options
// pass through.
//
// For the tests and the demo: TOLVAR_FRESHCLAM_MIRROR names a mirror to use
// instead of the configured one (the local test mirror), with the version
// check by DNS off, which knows only ClamAV's own mirror;
// TOLVAR_FRESHCLAM_ARGS adds arguments, separated by blanks.
//
// The output is passed on in pieces that end with a line feed or with a
// carriage return (freshclam redraws its progress line in place), with the
// Linux paths of the database folder put back in Windows form and every
// line feed as CR LF.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii_text.h"
#include "wine_bridge/wine_bridge_win.h"

namespace {

using namespace tolvar::bridge;
using tolvar::Trim;

constexpr char kStartError[] = "ERROR: the freshclam bridge could not start freshclam";
// freshclam's own code for "failed to initialize".
constexpr int kInitFailed = 2;

int Fail(const char* message) {
    WriteOut(std::string(message) + "\r\n");
    return kInitFailed;
}

std::string Environment(const char* name) {
    char value[2048];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The program's configuration, for the Linux freshclam.
std::optional<std::string> LinuxConfig(const WinePaths& wine, const std::string& windowsConfig,
                                       const std::string& mirror) {
    std::string config;
    std::string_view rest = windowsConfig;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t blank = line.find_first_of(" \t");
        const std::string_view name = line.substr(0, blank);
        const std::string_view value =
            blank == std::string_view::npos ? std::string_view() : Trim(line.substr(blank));
        if (name == "DatabaseOwner" || (name == "DatabaseMirror" && !mirror.empty())) continue;
        if (name == "DatabaseDirectory") {
            const std::optional<std::string> folder = wine.ToUnix(Widen(Unquoted(value), CP_UTF8));
            if (!folder) return std::nullopt;
            config += "DatabaseDirectory \"" + *folder + "\"\n";
            continue;
        }
        config += std::string(line) + "\n";
    }
    if (!mirror.empty()) config += "DatabaseMirror " + mirror + "\nDNSDatabaseInfo no\n";
    return config;
}

struct Mapped {
    std::vector<std::string> args;  // for freshclam, in order
    std::string config;             // its configuration, when one was given
    std::string datadir;            // the database folder, Linux and Windows form
    std::wstring datadirWindows;
};

std::optional<Mapped> MapArguments(const WinePaths& wine, const std::string& configUnix) {
    const std::string mirror = Environment("TOLVAR_FRESHCLAM_MIRROR");
    Mapped mapped;
    for (const std::wstring& wide : Arguments()) {
        const std::string arg = Narrow(wide, CP_UTF8);
        if (StartsWith(arg, "--config-file=")) {
            const std::optional<std::string> text = ReadWholeFile(wide.substr(14));
            if (!text) return std::nullopt;
            std::optional<std::string> config = LinuxConfig(wine, *text, mirror);
            if (!config) return std::nullopt;
            mapped.config = *config;
            mapped.args.push_back("--config-file=" + configUnix);
        } else if (StartsWith(arg, "--datadir=")) {
            mapped.datadirWindows = wide.substr(10);
            const std::optional<std::string> folder = wine.ToUnix(mapped.datadirWindows);
            if (!folder) return std::nullopt;
            mapped.datadir = *folder;
            mapped.args.push_back("--datadir=" + *folder);
        } else {
            mapped.args.push_back(arg);
        }
    }
    if (!mirror.empty()) mapped.args.push_back("--no-dns");
    const std::string extraArgs = Environment("TOLVAR_FRESHCLAM_ARGS");
    std::string_view extra = extraArgs;
    while (!(extra = Trim(extra)).empty()) {
        const std::size_t blank = extra.find(' ');
        mapped.args.emplace_back(extra.substr(0, blank));
        extra = blank == std::string_view::npos ? std::string_view() : extra.substr(blank);
    }
    return mapped;
}

// One piece of output with the database folder's Linux paths in Windows
// form: a path runs to its closing quote, or when it has none to the next
// blank.
std::string WindowsPiece(const WinePaths& wine, const std::string& datadir, std::string piece) {
    if (datadir.empty()) return piece;
    for (std::size_t at = piece.find(datadir); at != std::string::npos;
         at = piece.find(datadir, at + 1)) {
        const char quote =
            at > 0 && (piece[at - 1] == '\'' || piece[at - 1] == '"') ? piece[at - 1] : ' ';
        std::size_t end =
            piece.find_first_of(quote == ' ' ? std::string(" \r\n") : std::string(1, quote), at);
        if (end == std::string::npos) end = piece.size();
        const std::optional<std::wstring> windows = wine.ToWindows(piece.substr(at, end - at));
        if (!windows) continue;
        const std::string replaced = Narrow(*windows, CP_ACP);
        piece.replace(at, end - at, replaced);
        at += replaced.size() - 1;
    }
    if (!piece.empty() && piece.back() == '\n') piece.insert(piece.size() - 1, "\r");
    return piece;
}

std::string Script(const std::string& work, const std::vector<std::string>& args, bool withConfig) {
    std::string command = "freshclam";
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    std::string s = ScriptStart("Written by the freshclam bridge for one update.", work, "/");
    s += RequireProgram("freshclam", std::string(kStartError) + " (it is not installed)");
    if (withConfig) {
        // freshclam refuses a configuration with a proxy password that
        // others may read.
        s += "echo \"DatabaseOwner $(id -un)\" >>\"$w/freshclam.conf\"\n";
        s += "chmod 600 \"$w/freshclam.conf\"\n";
    }
    s += WatchedRun(command);
    return s;
}

int Run() {
    WinePaths wine;
    if (!wine.Load()) return Fail(kStartError);
    WorkFolder work;
    if (!work.Create(L"tolvar-freshclam-")) return Fail(kStartError);
    const std::optional<std::string> workUnix = wine.ToUnix(work.path());
    if (!workUnix) return Fail(kStartError);

    const std::optional<Mapped> mapped = MapArguments(wine, *workUnix + "/freshclam.conf");
    if (!mapped) return Fail("ERROR: the freshclam bridge could not read its arguments");
    if (!mapped->config.empty() && !WriteWholeFile(work.File(L"freshclam.conf"), mapped->config)) {
        return Fail(kStartError);
    }
    if (!WriteWholeFile(work.File(L"out"), {}) ||
        !WriteWholeFile(work.File(L"run.sh"),
                        Script(*workUnix, mapped->args, !mapped->config.empty()))) {
        return Fail(kStartError);
    }
    tolvar::UniqueHandle output(CreateFileW(work.File(L"out").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    Heartbeat heartbeat(work.File(L"alive"));
    if (!output || !heartbeat.Start() ||
        !StartScript(*workUnix + "/run.sh", work.File(L"sh.log"))) {
        return Fail(kStartError);
    }

    std::string pending;
    const auto pass = [&](std::string_view bytes) {
        std::string pieces;
        for (char c : bytes) {
            pending += c;
            if (c == '\n' || c == '\r') {
                pieces += WindowsPiece(wine, mapped->datadir, std::move(pending));
                pending.clear();
            }
        }
        return pieces.empty() || WriteOut(pieces);
    };
    const Followed followed = FollowScript(work, output.get(), pass);
    switch (followed.end) {
        case ScriptEnd::Exited:
            break;
        case ScriptEnd::ReaderGone:
            return kInitFailed;
        case ScriptEnd::NeverStarted:
            return Fail(kStartError);
        case ScriptEnd::Lost:
            return Fail("ERROR: the freshclam bridge lost freshclam");
    }
    if (!pending.empty() && !WriteOut(WindowsPiece(wine, mapped->datadir, pending) + "\r\n")) {
        return kInitFailed;
    }
    if (followed.exitCode == 126 || followed.exitCode == 127) return Fail(kStartError);
    return followed.exitCode;
}

}  // namespace

int main() {
    return Run();
}
