// The scanner bridge: stands in for clamscan.exe in program folders laid out
// for Wine, and runs the Linux clamscan instead. The program starts it and
// reads its report exactly as it would the Windows scanner's; the bridge
// translates paths both ways and makes sure the Linux scan ends when the
// program stops it.
//
// Under Wine a Windows program can start a Linux program, but gets no handle
// to wait on, and the Linux side cannot write into a Windows pipe. So the
// bridge and a small shell script talk through files in a private work folder:
//
//   run.sh   the script (paths in it are quoted for sh)
//   out      clamscan's stdout and stderr, which the bridge follows as it
//            grows and passes on, line by line, with Linux paths mapped back
//   rc       clamscan's exit code, written (through rc.tmp) when it ended
//   alive    a counter the bridge rewrites every 200 ms; when it stops
//            changing for a second, the bridge was ended (Stop terminates
//            it), and the script's watchdog kills clamscan
//   watch    a counter the watchdog rewrites every 250 ms, so the bridge
//            notices a script that was killed and does not wait forever
//   gone     written by the watchdog before it kills clamscan; the script
//            then removes the work folder itself, since nobody else will
//
// Arguments: --memory, --unload and --kill mean nothing on Linux and are
// dropped; --database=FILE is kept when FILE exists; every file in the folder
// named by TOLVAR_DEMO_SIGNATURES (a Windows or Linux path) is added as a
// database; other options pass through; everything else is a path to scan.

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/handles_win.h"

namespace {

using tolvar::UniqueHandle;

constexpr char kStartError[] = "ERROR: the scanner bridge could not start clamscan";
constexpr DWORD kPollMs = 50;
constexpr DWORD kHeartbeatMs = 200;
// The script answers every 250 ms; only a much longer silence means it is
// gone, so a busy machine never ends a scan that is still running.
constexpr ULONGLONG kScriptSilenceMs = 10000;

// ---- text conversions -------------------------------------------------------

std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// One argument for sh: inside single quotes every character stands for itself but the
// quote itself, which closes, is escaped, and opens again.
std::string ShellQuote(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// One argument of a Windows command line, which Wine splits into the Linux
// program's argv by the C runtime's rules: backslashes are literal except
// before a quote, where they are doubled.
std::wstring CommandLineQuote(std::wstring_view text) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

// ---- Wine's path translation --------------------------------------------------

// Both functions hand back a buffer from the process heap.
struct HeapFreer {
    void operator()(void* p) const { HeapFree(GetProcessHeap(), 0, p); }
};

class WinePaths {
public:
    bool Load() {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (!kernel) return false;
        // Through a plain function pointer type, which the compiler lets a
        // FARPROC become without a warning.
        toUnix_ = reinterpret_cast<ToUnixFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_unix_file_name")));
        toDos_ = reinterpret_cast<ToDosFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_dos_file_name")));
        return toUnix_ && toDos_;
    }

    // The Linux path of a Windows path, in UTF-8. A folder's trailing
    // backslash is dropped first (a root keeps it). A path that does not exist
    // is mapped through its nearest existing parent, so clamscan can say it is
    // missing.
    std::optional<std::string> ToUnix(const std::wstring& windowsPath) const {
        const std::wstring full = Normalized(windowsPath);
        if (std::unique_ptr<char, HeapFreer> mapped{toUnix_(full.c_str())}) {
            return std::string(mapped.get());
        }
        const std::size_t cut = full.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut + 1 >= full.size() ||
            full.size() <= RootLength(full)) {
            return std::nullopt;
        }
        std::optional<std::string> parent = ToUnix(full.substr(0, std::max(cut, RootLength(full))));
        if (!parent) return std::nullopt;
        if (parent->empty() || parent->back() != '/') *parent += '/';
        return *parent + Narrow(full.substr(cut + 1), CP_UTF8);
    }

    // A path as given on the command line, remembered with its Linux form, so
    // a report line about it (a missing folder) names it as the program did,
    // even where Wine's reverse mapping would take another route.
    void Remember(const std::string& unixPath, const std::wstring& windowsPath) {
        given_.emplace_back(unixPath, Normalized(windowsPath));
    }

    // The Windows path of a Linux path ("Z:\tmp\x"); one outside every drive
    // keeps Wine's "\\?\unix\..." form, which Windows functions still open.
    std::optional<std::wstring> ToWindows(const std::string& unixPath) const {
        for (const auto& [linuxForm, windowsForm] : given_) {
            if (linuxForm == unixPath) return windowsForm;
        }
        // clamscan joins a root folder and a name with a second slash.
        std::string clean;
        for (char c : unixPath) {
            if (c != '/' || clean.empty() || clean.back() != '/') clean += c;
        }
        std::unique_ptr<wchar_t, HeapFreer> dos{toDos_(clean.c_str())};
        if (!dos) return std::nullopt;
        std::wstring path(dos.get());
        if (path.size() >= 6 && path.compare(0, 4, L"\\\\?\\") == 0 && path[5] == L':') {
            path.erase(0, 4);
        }
        return path;
    }

private:
    using ToUnixFn = char*(CDECL*)(LPCWSTR);
    using ToDosFn = WCHAR*(CDECL*)(const char*);

    // The full path without a folder's trailing backslash (a root keeps it).
    static std::wstring Normalized(const std::wstring& path) {
        std::wstring full = FullPath(path);
        while (full.size() > RootLength(full) && full.back() == L'\\')
            full.pop_back();
        return full;
    }

    static std::wstring FullPath(const std::wstring& path) {
        const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (n == 0) return path;
        std::wstring full(n, L'\0');
        const DWORD used = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
        if (used == 0 || used >= n) return path;
        full.resize(used);
        return full;
    }

    // "C:\" is 3; "\\server\share\" and other forms keep at least their
    // first three characters.
    static std::size_t RootLength(const std::wstring& path) {
        return path.size() >= 3 && path[1] == L':' ? 3 : std::min<std::size_t>(path.size(), 3);
    }

    ToUnixFn toUnix_ = nullptr;
    ToDosFn toDos_ = nullptr;
    std::vector<std::pair<std::string, std::wstring>> given_;
};

// ---- files ------------------------------------------------------------------

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

// A small file the other side rewrites while we read it, so any content,
// even a half-written one, is simply a value to compare.
std::optional<std::string> ReadSmallFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    char buffer[64];
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    return std::string(buffer, got);
}

// The plain files of a folder, sorted so the databases load in a fixed order.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    tolvar::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.push_back(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(find.get(), &found));
    std::sort(files.begin(), files.end());
    return files;
}

// The private work folder, removed with everything in it when the bridge
// ends. The script removes it instead when it outlives the bridge.
class WorkFolder {
public:
    bool Create() {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH) return false;
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            std::wstring path = std::wstring(temp, n) + L"tolvar-bridge-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount64() + attempt);
            if (CreateDirectoryW(path.c_str(), nullptr)) {
                path_ = path;
                return true;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
        }
        return false;
    }
    ~WorkFolder() {
        if (path_.empty()) return;
        for (const std::wstring& file : FilesIn(path_))
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    WorkFolder() = default;
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// ---- the heartbeat ------------------------------------------------------------

// Rewrites the alive counter on its own thread, so a parent that is slow to
// read our output (a full pipe blocks the main loop) does not look like a
// stopped scan to the watchdog.
class Heartbeat {
public:
    explicit Heartbeat(std::wstring path) : path_(std::move(path)) {}
    ~Heartbeat() { Stop(); }
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;

    bool Start() {
        Beat();
        stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!stop_) return false;
        thread_.reset(CreateThread(nullptr, 0, &Heartbeat::Run, this, 0, nullptr));
        return static_cast<bool>(thread_);
    }
    void Stop() {
        if (!thread_) return;
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }

private:
    static DWORD WINAPI Run(void* self) {
        auto* beat = static_cast<Heartbeat*>(self);
        while (WaitForSingleObject(beat->stop_.get(), kHeartbeatMs) == WAIT_TIMEOUT)
            beat->Beat();
        return 0;
    }
    void Beat() { WriteWholeFile(path_, std::to_string(++count_) + "\n"); }

    std::wstring path_;
    unsigned long long count_ = 0;
    UniqueHandle stop_;
    UniqueHandle thread_;
};

// ---- output -------------------------------------------------------------------

// Writes straight to the handle (no C runtime buffer), so the program sees a
// line as soon as the scanner printed it. False when nobody reads any more.
bool WriteOut(std::string_view bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return true;
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

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
    std::string args;
    for (const std::string& arg : clamscanArgs)
        args += " " + ShellQuote(arg);
    std::string s;
    s += "#!/bin/sh\n";
    s += "# Written by the scanner bridge for one scan.\n";
    // Wine sets our stdin and stdout (a file in the work folder) but leaves
    // stderr on the program's own, which is no place for a shell's remarks.
    s += "exec 2>&1\n";
    s += "w=" + ShellQuote(work) + "\n";
    s += "PATH=/usr/local/bin:/usr/bin:/bin:$PATH\n";
    s += "cd " + ShellQuote(folder) + " 2>/dev/null || cd /\n";
    s += "finish() { echo \"$1\" >\"$w/rc.tmp\" && mv -f \"$w/rc.tmp\" \"$w/rc\"; }\n";
    s += "if ! command -v clamscan >/dev/null 2>&1; then\n";
    s += "  echo '" + std::string(kStartError) + " (it is not installed)' >\"$w/out\"\n";
    s += "  finish 2\n";
    s += "  exit 0\n";
    s += "fi\n";
    s += "clamscan" + args + " >\"$w/out\" 2>&1 </dev/null &\n";
    s += "scan=$!\n";
    // The watchdog: a counter of its own for the bridge, and the bridge's
    // counter checked every 0.25 s; four unchanged readings in a row (a
    // second) mean the bridge was ended.
    s += "(\n";
    s += "  n=0 last= same=0\n";
    s += "  while :; do\n";
    s += "    n=$((n + 1))\n";
    s += "    echo $n >\"$w/watch\"\n";
    s += "    now=\n";
    s += "    read -r now <\"$w/alive\" 2>/dev/null\n";
    s += "    if [ \"$now\" = \"$last\" ]; then same=$((same + 1)); else same=0 last=$now; fi\n";
    s += "    if [ $same -ge 4 ]; then\n";
    // Not ":", whose failed redirection (the bridge may have removed the
    // folder) would end this shell before the kill.
    s += "      echo >\"$w/gone\"\n";
    s += "      kill -TERM $scan 2>/dev/null\n";
    s += "      sleep 1\n";
    s += "      kill -KILL $scan 2>/dev/null\n";
    s += "      exit 0\n";
    s += "    fi\n";
    s += "    sleep 0.25\n";
    s += "  done\n";
    s += ") &\n";
    s += "dog=$!\n";
    s += "wait $scan\n";
    s += "rc=$?\n";
    s += "kill $dog 2>/dev/null\n";
    s += "wait $dog 2>/dev/null\n";
    s += "if [ -e \"$w/gone\" ]; then rm -rf \"$w\"; exit 0; fi\n";
    // Tests compare what the program recorded with clamscan's own report.
    s += "if [ -n \"${TOLVAR_BRIDGE_KEEP_REPORT:-}\" ]; then cp \"$w/out\" "
         "\"$TOLVAR_BRIDGE_KEEP_REPORT\"; fi\n";
    s += "finish $rc\n";
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

// Passes on every complete line read from the report; an unfinished last
// line waits in `pending` for the rest of it.
bool PassOn(const WinePaths& wine, HANDLE report, std::string& pending) {
    char buffer[65536];
    std::string lines;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(report, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
        pending.append(buffer, got);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines += WindowsLine(wine, pending.substr(start, end - start)) + "\r\n";
        }
        pending.erase(0, start);
    }
    return lines.empty() || WriteOut(lines);
}

std::optional<int> ReadExitCode(const std::wstring& path) {
    std::optional<std::string> text = ReadSmallFile(path);
    if (!text) return std::nullopt;
    return std::atoi(text->c_str());
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
    if (!work.Create()) return Fail(kStartError);
    const std::optional<std::string> workUnix = wine.ToUnix(work.path());
    wchar_t current[MAX_PATH * 2];
    const DWORD currentLength = GetCurrentDirectoryW(MAX_PATH * 2, current);
    const std::optional<std::string> currentUnix =
        currentLength > 0 && currentLength < MAX_PATH * 2 ? wine.ToUnix(current) : std::nullopt;
    if (!workUnix) return Fail(kStartError);

    const std::wstring scriptPath = work.File(L"run.sh");
    if (!WriteWholeFile(work.File(L"out"), {}) ||
        !WriteWholeFile(scriptPath, Script(*workUnix, currentUnix.value_or("/"), args->clamscan))) {
        return Fail(kStartError);
    }
    UniqueHandle report(CreateFileW(work.File(L"out").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    Heartbeat heartbeat(work.File(L"alive"));
    if (!report || !heartbeat.Start()) return Fail(kStartError);

    // The script's own output (only its failures) goes to a file: a Linux
    // program handed our stdout pipe would hold it open after we end, and the
    // program would wait for the report's end in vain.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueHandle log(CreateFileW(work.File(L"sh.log").c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    UniqueHandle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.get();
    startup.hStdOutput = log.get();
    startup.hStdError = log.get();
    // A Linux path first makes Wine start a Linux program. Wide characters
    // carry the UTF-8 path intact, where the ANSI code page might not.
    std::wstring command = L"/bin/sh " + CommandLineQuote(Widen(*workUnix + "/run.sh", CP_UTF8));
    PROCESS_INFORMATION started{};
    if (!log || !nothing ||
        !CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return Fail(kStartError);
    }
    // Wine gives no handles for a Linux program; any it might give are closed.
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    std::string pending;
    std::optional<std::string> lastWatch;
    const ULONGLONG begun = GetTickCount64();
    ULONGLONG lastSign = begun;
    for (;;) {
        // rc is written only after clamscan ended, so once it is there, one
        // more read finds the whole report.
        const std::optional<int> rc = ReadExitCode(work.File(L"rc"));
        if (!PassOn(wine, report.get(), pending)) return 2;  // nobody reads: give up
        if (rc) {
            if (!pending.empty() && !WriteOut(WindowsLine(wine, pending) + "\r\n")) return 2;
            if (*rc == 126 || *rc == 127) return Fail(kStartError);
            if (*rc < 0 || *rc > 2) {
                WriteOut("ERROR: clamscan ended with code " + std::to_string(*rc) + "\r\n");
                return 2;
            }
            return *rc == 0 && args->lostPath ? 2 : *rc;
        }
        const ULONGLONG now = GetTickCount64();
        std::optional<std::string> watch = ReadSmallFile(work.File(L"watch"));
        if (watch && watch != lastWatch) {
            lastWatch = watch;
            lastSign = now;
        }
        if (now - lastSign > kScriptSilenceMs) {
            if (!lastWatch) return Fail(kStartError);
            return Fail("ERROR: the scanner bridge lost clamscan (its watchdog stopped)");
        }
        if (!Exists(work.path())) {
            return Fail("ERROR: the scanner bridge lost clamscan (its work folder is gone)");
        }
        Sleep(kPollMs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
