#include "scan/process_snapshot.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "core/handles_win.h"
#include "core/wide_text_win.h"
#include "scan/process_names.h"

namespace tolvar {

namespace {

// Long enough for the system to tear a process down and release its image
// file, short enough that a process that will not die does not freeze the
// removal window for long.
constexpr DWORD kProcessEndWaitMs = 5000;

// The largest path the system hands out, with its terminating zero.
constexpr DWORD kMaxPathBuffer = 32768;

struct ToolHelp {
    using CreateSnapshot = HANDLE(WINAPI*)(DWORD, DWORD);
    using Walk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
    CreateSnapshot createSnapshot = nullptr;
    Walk first = nullptr;
    Walk next = nullptr;
    bool usable() const { return createSnapshot && first && next; }
};

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    // Going through the generic function pointer type makes the change of
    // signature explicit; the names looked up have exactly these signatures.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Looked up by name, once, so the program still starts where tool help is
// missing; there the listing is simply empty.
const ToolHelp& ToolHelpFunctions() {
    static const ToolHelp functions = [] {
        ToolHelp found;
        // kernel32 is mapped into every process, so there is no reference to
        // take or give back.
        if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
            found.createSnapshot =
                Lookup<ToolHelp::CreateSnapshot>(kernel, "CreateToolhelp32Snapshot");
            found.first = Lookup<ToolHelp::Walk>(kernel, "Process32First");
            found.next = Lookup<ToolHelp::Walk>(kernel, "Process32Next");
        }
        return found;
    }();
    return functions;
}

// Calls a function of the GetFullPathNameA kind: it returns the length
// without the zero when the text fits, the size needed with the zero when it
// does not, and 0 on failure. "" on failure.
template <typename Fill>
std::string ReadText(Fill fill) {
    std::string text(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = fill(text.data(), static_cast<DWORD>(text.size()));
        if (n == 0) return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        if (n > kMaxPathBuffer) return {};
        text.resize(n);
    }
}

std::string ImagePathOf(HANDLE process) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameA(process, 0, path.data(), &size)) {
            path.resize(size);
            return path;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= kMaxPathBuffer) return {};
        path.resize(std::min<std::size_t>(path.size() * 2, kMaxPathBuffer));
    }
}

std::string ExecutablePathOf(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process ? ImagePathOf(process.get()) : std::string();
}

// One form for every way of writing a path: relative parts and "." and ".."
// resolved, and 8.3 short names expanded, since a process may have been
// started through a short name while the report names the long one.
std::string ComparablePath(const std::string& path) {
    if (path.empty()) return {};
    std::string full = ReadText([&](char* buffer, DWORD size) {
        return GetFullPathNameA(path.c_str(), size, buffer, nullptr);
    });
    if (full.empty()) return {};
    std::string longForm = ReadText(
        [&](char* buffer, DWORD size) { return GetLongPathNameA(full.c_str(), buffer, size); });
    // A file that is gone has no long form to look up; its full path is the
    // best there is.
    return longForm.empty() ? full : longForm;
}

// File systems fold case character by character, without the linguistic
// rules of CompareString, which would take for example "ß" and "ss" as equal
// and so end a program that merely has a similar name. Ordinal comparison of
// the UTF-16 forms is the rule the system itself applies to file names.
bool SamePathAsWindows(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring wa = Utf8ToWide(a);
    const std::wstring wb = Utf8ToWide(b);
    if (wa.empty() || wb.empty()) return false;
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

std::optional<DWORD> ParseProcessId(const std::string& text) {
    DWORD id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return id;
}

bool EndIfStillRunning(const std::string& processIdText, const std::string& comparableTarget) {
    const std::optional<DWORD> id = ParseProcessId(processIdText);
    if (!id || *id == GetCurrentProcessId()) return false;
    UniqueHandle process(OpenProcess(
        PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, *id));
    if (!process) return false;
    // A process that has already ended stays openable while anyone holds a
    // handle to it, and ending it again reports success.
    if (WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return false;
    // The process listed may have ended since and its id gone to another
    // program; only the one still running the infected file may be ended.
    if (!SamePathAsWindows(ComparablePath(ImagePathOf(process.get())), comparableTarget))
        return false;
    if (!TerminateProcess(process.get(), 0)) return false;
    // Termination only begins here; the file stays locked until the process
    // is gone, and the caller is about to move it.
    WaitForSingleObject(process.get(), kProcessEndWaitMs);
    return true;
}

}  // namespace

ProcessSnapshot& Snapshot() {
    static ProcessSnapshot snapshot;
    return snapshot;
}

void TakeProcessSnapshot() {
    // Emptied first: if the listing fails part way, the caller is left with
    // no processes rather than a stale listing.
    Snapshot() = ProcessSnapshot{};
    const ToolHelp& toolHelp = ToolHelpFunctions();
    if (!toolHelp.usable()) return;
    UniqueHandle listing(toolHelp.createSnapshot(TH32CS_SNAPALL, 0));
    if (!listing) return;

    ProcessSnapshot taken;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = toolHelp.first(listing.get(), &entry); more;
         more = toolHelp.next(listing.get(), &entry)) {
        taken.ImageNames.push_back(
            ImageNameFromExeFile(std::string_view(entry.szExeFile, sizeof entry.szExeFile)));
        taken.ProcessIds.push_back(std::to_string(entry.th32ProcessID));
        taken.ExecutablePaths.push_back(ExecutablePathOf(entry.th32ProcessID));
    }
    Snapshot() = std::move(taken);
}

int FindProcess(const std::string& imageName) {
    const std::vector<std::string>& names = Snapshot().ImageNames;
    const auto found = std::find(names.begin(), names.end(), imageName);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

bool IsProcessRunning(const std::string& imageName) {
    return FindProcess(imageName) != -1;
}

void KillProcessByName(const std::string& imageName) {
    if (IsOwnImageName(imageName)) return;
    const int index = FindProcess(imageName);
    if (index < 0) return;
    const std::optional<DWORD> id = ParseProcessId(Snapshot().ProcessIds[index]);
    if (!id) return;
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE, TRUE, *id));
    if (process) TerminateProcess(process.get(), 0);
}

bool KillInfectedProcess(const std::string& infectedFilePath) {
    const std::string target = ComparablePath(infectedFilePath);
    if (target.empty()) return false;
    const ProcessSnapshot& snapshot = Snapshot();
    std::vector<std::string> paths;
    paths.reserve(snapshot.ExecutablePaths.size());
    for (const std::string& path : snapshot.ExecutablePaths)
        paths.push_back(ComparablePath(path));
    bool ended = false;
    for (std::size_t i :
         ProcessesRunningFile(snapshot.ImageNames, paths, target, SamePathAsWindows)) {
        if (i < snapshot.ProcessIds.size() && EndIfStillRunning(snapshot.ProcessIds[i], target))
            ended = true;
    }
    return ended;
}

}  // namespace tolvar
