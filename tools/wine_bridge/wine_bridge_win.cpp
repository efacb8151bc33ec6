#include "wine_bridge/wine_bridge_win.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace tolvar::bridge {

namespace {

constexpr DWORD kHeartbeatMs = 200;
// The watchdog answers every 250 ms; only a much longer silence means it
// is gone.
constexpr ULONGLONG kScriptSilenceMs = 10000;

// Both of Wine's translations hand back a buffer from the process heap.
struct HeapFreer {
    void operator()(void* p) const { HeapFree(GetProcessHeap(), 0, p); }
};

// "C:\" is 3; "\\server\share\" and other forms keep at least their first
// three characters.
std::size_t RootLength(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' ? 3 : std::min<std::size_t>(path.size(), 3);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD used = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (used == 0 || used >= n) return path;
    full.resize(used);
    return full;
}

// The full path without a folder's trailing backslash (a root keeps it).
std::wstring Normalized(const std::wstring& path) {
    std::wstring full = FullPath(path);
    while (full.size() > RootLength(full) && full.back() == L'\\')
        full.pop_back();
    return full;
}

// One argument of a Windows command line, which Wine splits into the Linux
// program's argv by the C runtime's rules.
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

}  // namespace

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

std::vector<std::wstring> Arguments() {
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&LocalFree)> args(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    std::vector<std::wstring> out;
    for (int i = 1; args && i < count; ++i)
        out.emplace_back(args.get()[i]);
    return out;
}

bool WinePaths::Load() {
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

std::optional<std::string> WinePaths::ToUnix(const std::wstring& windowsPath) const {
    const std::wstring full = Normalized(windowsPath);
    if (std::unique_ptr<char, HeapFreer> mapped{toUnix_(full.c_str())}) {
        return std::string(mapped.get());
    }
    const std::size_t cut = full.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut + 1 >= full.size() || full.size() <= RootLength(full)) {
        return std::nullopt;
    }
    std::optional<std::string> parent = ToUnix(full.substr(0, std::max(cut, RootLength(full))));
    if (!parent) return std::nullopt;
    if (parent->empty() || parent->back() != '/') *parent += '/';
    return *parent + Narrow(full.substr(cut + 1), CP_UTF8);
}

void WinePaths::Remember(const std::string& unixPath, const std::wstring& windowsPath) {
    given_.emplace_back(unixPath, Normalized(windowsPath));
}

std::optional<std::wstring> WinePaths::ToWindows(const std::string& unixPath) const {
    for (const auto& [linuxForm, windowsForm] : given_) {
        if (linuxForm == unixPath) return windowsForm;
    }
    // A Linux program may join a root folder and a name with a second slash.
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

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

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

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    tolvar::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    tolvar::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string content;
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
        if (got == 0) return content;
        content.append(buffer, got);
    }
}

std::optional<std::string> ReadSmallFile(const std::wstring& path) {
    tolvar::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    char buffer[64];
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    return std::string(buffer, got);
}

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

WorkFolder::~WorkFolder() {
    if (path_.empty()) return;
    for (const std::wstring& file : FilesIn(path_))
        DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
}

bool WorkFolder::Create(const wchar_t* prefix) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return false;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring path = std::wstring(temp, n) + prefix +
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

bool Heartbeat::Start() {
    Beat();
    stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return false;
    thread_.reset(CreateThread(nullptr, 0, &Heartbeat::Run, this, 0, nullptr));
    return static_cast<bool>(thread_);
}

void Heartbeat::Stop() {
    if (!thread_) return;
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

DWORD WINAPI Heartbeat::Run(void* self) {
    auto* beat = static_cast<Heartbeat*>(self);
    while (WaitForSingleObject(beat->stop_.get(), kHeartbeatMs) == WAIT_TIMEOUT)
        beat->Beat();
    return 0;
}

void Heartbeat::Beat() {
    WriteWholeFile(path_, std::to_string(++count_) + "\n");
}

std::string ScriptStart(const std::string& comment, const std::string& work,
                        const std::string& folder) {
    std::string s;
    s += "#!/bin/sh\n";
    s += "# " + comment + "\n";
    // Wine sets our stdin and stdout (a file in the work folder) but leaves
    // stderr on the program's own, which is no place for a shell's remarks.
    s += "exec 2>&1\n";
    s += "w=" + ShellQuote(work) + "\n";
    s += "PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:$PATH\n";
    s += "cd " + ShellQuote(folder) + " 2>/dev/null || cd /\n";
    s += "finish() { echo \"$1\" >\"$w/rc.tmp\" && mv -f \"$w/rc.tmp\" \"$w/rc\"; }\n";
    return s;
}

std::string RequireProgram(const std::string& program, const std::string& message) {
    std::string s;
    s += "if ! command -v " + program + " >/dev/null 2>&1; then\n";
    s += "  echo " + ShellQuote(message) + " >\"$w/out\"\n";
    s += "  finish 2\n";
    s += "  exit 0\n";
    s += "fi\n";
    return s;
}

std::string WatchedRun(const std::string& command, const std::string& afterward) {
    std::string s;
    s += command + " >\"$w/out\" 2>&1 </dev/null &\n";
    s += "job=$!\n";
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
    s += "      kill -TERM $job 2>/dev/null\n";
    s += "      sleep 1\n";
    s += "      kill -KILL $job 2>/dev/null\n";
    s += "      exit 0\n";
    s += "    fi\n";
    s += "    sleep 0.25\n";
    s += "  done\n";
    s += ") &\n";
    s += "dog=$!\n";
    s += "wait $job\n";
    s += "rc=$?\n";
    s += "kill $dog 2>/dev/null\n";
    s += "wait $dog 2>/dev/null\n";
    s += "if [ -e \"$w/gone\" ]; then rm -rf \"$w\"; exit 0; fi\n";
    s += afterward;
    s += "finish $rc\n";
    return s;
}

bool StartScript(const std::string& scriptUnix, const std::wstring& logFile) {
    // The script's own output (only its failures) goes to a file: a Linux
    // program handed our stdout pipe would hold it open after we end, and
    // the program would wait for the output's end in vain.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    tolvar::UniqueHandle log(CreateFileW(logFile.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    tolvar::UniqueHandle nothing(CreateFileW(L"NUL", GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                             OPEN_EXISTING, 0, nullptr));
    if (!log || !nothing) return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.get();
    startup.hStdOutput = log.get();
    startup.hStdError = log.get();
    // A Linux path first makes Wine start a Linux program. Wide characters
    // carry the UTF-8 path intact, where the ANSI code page might not.
    std::wstring command = L"/bin/sh " + CommandLineQuote(Widen(scriptUnix, CP_UTF8));
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    // Wine gives no handles for a Linux program; any it might give are
    // closed.
    tolvar::UniqueHandle process(started.hProcess);
    tolvar::UniqueHandle thread(started.hThread);
    return true;
}

std::optional<int> ReadExitCode(const std::wstring& path) {
    std::optional<std::string> text = ReadSmallFile(path);
    if (!text) return std::nullopt;
    return std::atoi(text->c_str());
}

ScriptWatch::ScriptWatch(std::wstring path) : path_(std::move(path)), lastSign_(GetTickCount64()) {}

std::optional<ScriptEnd> ScriptWatch::Check() {
    const ULONGLONG now = GetTickCount64();
    std::optional<std::string> watch = ReadSmallFile(path_);
    if (watch && watch != last_) {
        last_ = watch;
        lastSign_ = now;
    }
    if (now - lastSign_ <= kScriptSilenceMs) return std::nullopt;
    return last_ ? ScriptEnd::Lost : ScriptEnd::NeverStarted;
}

}  // namespace tolvar::bridge
