#pragma once

// What a bridge needs to stand in for a Windows program under Wine and run
// the Linux one instead: Wine's path translation, a private work folder, a
// heartbeat the Linux side watches, and the start of a shell script.
//
// Under Wine a Windows program can start a Linux program, but gets no
// handle to wait on, and the Linux side cannot write into a Windows pipe.
// So a bridge and its script talk through files in the work folder: the
// program's output goes to a file the bridge follows, its exit code to
// another (through a temporary name, so it appears whole), and a counter
// the bridge rewrites tells the script's watchdog that the bridge still
// runs; when it stops changing, the bridge was ended and the watchdog ends
// the Linux program.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/handles_win.h"

namespace tolvar::bridge {

std::wstring Widen(std::string_view text, UINT codePage);
std::string Narrow(std::wstring_view text, UINT codePage);
bool StartsWith(std::string_view text, std::string_view prefix);
bool StartsWith(std::wstring_view text, std::wstring_view prefix);

// One argument for sh: in single quotes, each quote inside closed,
// escaped and opened again.
std::string ShellQuote(std::string_view text);

// This program's arguments as given, in wide characters, whatever the
// code page.
std::vector<std::wstring> Arguments();

// How a path below a network share handed to WinePaths::Remember comes
// back from ToWindows: as Wine's reverse mapping gives it, or in the form
// clamscan.exe gives it, "\\?\UNC\server\share\...".
enum class SharePaths { AsWineMaps, Unc };

// Wine's own translation between Windows and Linux paths.
class WinePaths {
public:
    explicit WinePaths(SharePaths shares = SharePaths::AsWineMaps) : sharePaths_(shares) {}

    bool Load();

    // The Linux path of a Windows path, in UTF-8. A folder's trailing
    // backslash is dropped first (a root keeps it). A path that does not
    // exist is mapped through its nearest existing parent.
    std::optional<std::string> ToUnix(const std::wstring& windowsPath) const;
    // A path as given on the command line, remembered with its Linux form,
    // so output about it names it as the program did, even where Wine's
    // reverse mapping would take another route. What lies below a network
    // share given so comes back in the form SharePaths chose.
    void Remember(const std::string& unixPath, const std::wstring& windowsPath);
    // The Windows path of a Linux path ("Z:\tmp\x"); one outside every
    // drive keeps Wine's "\\?\unix\..." form, which Windows functions
    // still open.
    std::optional<std::wstring> ToWindows(const std::string& unixPath) const;

private:
    using ToUnixFn = char*(CDECL*)(LPCWSTR);
    using ToDosFn = WCHAR*(CDECL*)(const char*);

    SharePaths sharePaths_;
    ToUnixFn toUnix_ = nullptr;
    ToDosFn toDos_ = nullptr;
    std::vector<std::pair<std::string, std::wstring>> given_;
    // Linux form of a share given, and the form what lies below it takes.
    std::vector<std::pair<std::string, std::wstring>> shares_;
};

bool Exists(const std::wstring& path);
// The plain files of a folder, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
bool WriteWholeFile(const std::wstring& path, std::string_view bytes);
// The whole of a file; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
// A small file the other side rewrites while we read it: any content, even
// a half-written one, is simply a value to compare.
std::optional<std::string> ReadSmallFile(const std::wstring& path);

// Writes straight to standard output (no C runtime buffer), so the program
// sees a line as soon as the Linux program printed it. False when nobody
// reads any more.
bool WriteOut(std::string_view bytes);

// The private work folder, removed with everything in it when the bridge
// ends. The script removes it instead when it outlives the bridge.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    bool Create(const wchar_t* prefix);
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Rewrites the alive counter on its own thread, so a parent that is slow to
// read the output (a full pipe blocks the main loop) does not look like an
// ended bridge to the watchdog.
class Heartbeat {
public:
    explicit Heartbeat(std::wstring path) : path_(std::move(path)) {}
    ~Heartbeat() { Stop(); }
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;

    bool Start();
    void Stop();

private:
    static DWORD WINAPI Run(void* self);
    void Beat();

    std::wstring path_;
    unsigned long long count_ = 0;
    tolvar::UniqueHandle stop_;
    tolvar::UniqueHandle thread_;
};

// The start of a bridge's script: the work folder in w, the Linux
// program's folder, the folders searched for programs before the inherited
// PATH (programFolders, separated by ":" and written as they are, not
// quoted), and the function finish CODE that writes the exit code for the
// bridge. comment says whose script it is.
std::string ScriptStart(const std::string& comment, const std::string& work,
                        const std::string& folder, const std::string& programFolders);
// Lines that end the script with a message in "$w/out" and exit code 2 when
// program is not installed.
std::string RequireProgram(const std::string& program, const std::string& message);
// The script's lines that run `command` (already quoted for sh) with its
// output into "$w/out" and its exit code into "$w/rc", and the watchdog
// that ends it when the bridge's counter "$w/alive" stands still for a
// second (writing "$w/gone" first; the script then removes the work folder
// itself). Its own counter "$w/watch" tells the bridge the script is alive.
// afterward runs once the program ended, before its exit code is written.
std::string WatchedRun(const std::string& command, const std::string& afterward = "");

// Starts /bin/sh with the script at scriptUnix (a Linux path), its own
// output going to logFile. False when Wine would not start it.
bool StartScript(const std::string& scriptUnix, const std::wstring& logFile);

// The newest exit code of the script; nothing before it is written.
std::optional<int> ReadExitCode(const std::wstring& path);

// How following a script ended.
enum class ScriptEnd {
    Exited,        // its exit code is there
    ReaderGone,    // nobody reads the bridge's output any more
    NeverStarted,  // its watchdog never answered
    WatchdogGone,  // its watchdog answered, then fell silent
    FolderGone,    // its work folder went
};
struct Followed {
    ScriptEnd end = ScriptEnd::WatchdogGone;
    int exitCode = 0;
};

// Tells a script that still runs from one that is gone: its watchdog's
// counter must change now and then. Only a long silence counts, so a busy
// machine never makes a running program look lost.
class ScriptWatch {
public:
    explicit ScriptWatch(std::wstring path);
    // Nothing while the script may still run; otherwise how it ended.
    std::optional<ScriptEnd> Check();

private:
    std::wstring path_;
    std::optional<std::string> last_;
    ULONGLONG lastSign_;
};

// Follows a script started by StartScript: hands each new piece of "out"
// to pass (false from it means nobody reads any more) until "rc" is there,
// and calls tick between its looks (a bridge waiting for its Linux program
// to be ready checks there).
template <typename Pass, typename Tick>
Followed FollowScript(const WorkFolder& work, HANDLE output, Pass pass, Tick tick) {
    constexpr DWORD kPollMs = 50;
    ScriptWatch watch(work.File(L"watch"));
    for (;;) {
        // rc is written only after the program ended, so once it is there,
        // one more read finds all of its output.
        const std::optional<int> rc = ReadExitCode(work.File(L"rc"));
        char buffer[65536];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(output, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
            if (!pass(std::string_view(buffer, got))) return {ScriptEnd::ReaderGone, 0};
        }
        if (rc) return {ScriptEnd::Exited, *rc};
        if (const std::optional<ScriptEnd> end = watch.Check()) return {*end, 0};
        if (!Exists(work.path())) return {ScriptEnd::FolderGone, 0};
        tick();
        Sleep(kPollMs);
    }
}

template <typename Pass>
Followed FollowScript(const WorkFolder& work, HANDLE output, Pass pass) {
    return FollowScript(work, output, pass, [] {});
}

}  // namespace tolvar::bridge
