#include "app/single_instance_win.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <vector>

#include "core/handles_win.h"
#include "framework/window_classes.h"
#include "ui/main_form_win.h"

namespace tolvar {

namespace {

// In the global namespace, so that a copy in another session counts too:
// they share the settings and may share the data folder.
constexpr const wchar_t* kInstanceName = L"Global\\Mirebrook.TolvarAntiVirus.Running";
constexpr const wchar_t* kNamespaceName = L"Mirebrook.TolvarAntiVirus";
constexpr const wchar_t* kNamespacedName = L"Mirebrook.TolvarAntiVirus\\Running";
// Owned by the Administrators, and only they and SYSTEM may open it.
constexpr const wchar_t* kAdministratorsOnly = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";
constexpr DWORD kMutexAccess = SYNCHRONIZE | READ_CONTROL | MUTEX_MODIFY_STATE;

// The private namespace calls, looked up: Windows has them since Vista,
// Wine 8 lacks all but a stub, and an import of one would keep the program
// from loading there.
struct NamespaceCalls {
    using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
    using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
    using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
    using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
    using CloseNamespaceFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);

    CreateBoundaryFn createBoundary = nullptr;
    AddSidFn addSid = nullptr;
    DeleteBoundaryFn deleteBoundary = nullptr;
    CreateNamespaceFn createNamespace = nullptr;
    OpenNamespaceFn openNamespace = nullptr;
    CloseNamespaceFn closeNamespace = nullptr;

    NamespaceCalls() {
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (!kernel) return;
        createBoundary = Find<CreateBoundaryFn>(kernel, "CreateBoundaryDescriptorW");
        addSid = Find<AddSidFn>(kernel, "AddSIDToBoundaryDescriptor");
        deleteBoundary = Find<DeleteBoundaryFn>(kernel, "DeleteBoundaryDescriptor");
        createNamespace = Find<CreateNamespaceFn>(kernel, "CreatePrivateNamespaceW");
        openNamespace = Find<OpenNamespaceFn>(kernel, "OpenPrivateNamespaceW");
        closeNamespace = Find<CloseNamespaceFn>(kernel, "ClosePrivateNamespace");
    }
    bool available() const {
        return createBoundary && addSid && deleteBoundary && createNamespace && openNamespace &&
               closeNamespace;
    }

private:
    template <typename Fn>
    static Fn Find(HMODULE module, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
};

const NamespaceCalls& Calls() {
    static const NamespaceCalls calls;
    return calls;
}

void CloseNamespace(HANDLE space) {
    Calls().closeNamespace(space, 0);
}
using UniqueNamespace = UniqueResource<NullIsNone<HANDLE, &CloseNamespace>>;

// The security every name of the program is made with.
class AdministratorsOnly {
public:
    AdministratorsOnly() {
        PSECURITY_DESCRIPTOR made = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly,
                                                                 SDDL_REVISION_1, &made, nullptr)) {
            descriptor_.reset(made);
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_.get();
        attributes_.bInheritHandle = FALSE;
    }
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    LocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

bool OwnedByAdministrators(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory held(descriptor);
    return owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                     IsWellKnownSid(owner, WinLocalSystemSid));
}

// The private namespace bounded by the Administrators: made by this process,
// or opened when another copy made it. None without the calls, or when it
// cannot be made (a process without the Administrators' rights cannot).
UniqueNamespace OpenProgramNamespace(SECURITY_ATTRIBUTES* security) {
    const NamespaceCalls& calls = Calls();
    if (!calls.available()) return UniqueNamespace();
    HANDLE boundary = calls.createBoundary(kNamespaceName, 0);
    if (!boundary) return UniqueNamespace();
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    HANDLE space = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
        calls.addSid(&boundary, administrators)) {
        space = calls.createNamespace(security, boundary, kNamespaceName);
        if (!space && GetLastError() == ERROR_ALREADY_EXISTS) {
            space = calls.openNamespace(boundary, kNamespaceName);
        }
    }
    calls.deleteBoundary(boundary);
    return UniqueNamespace(space);
}

}  // namespace

struct SingleInstance::Names {
    UniqueNamespace space;
    std::vector<UniqueHandle> held;    // names this process holds
    std::vector<UniqueHandle> others;  // names another copy holds

    // Claims one name. One that cannot be opened, or is another kind of
    // object, or whose owner is not the Administrators or SYSTEM, was not
    // made by a copy of the program and is left alone.
    void Claim(const wchar_t* name, SECURITY_ATTRIBUTES* security) {
        UniqueHandle mutex(
            CreateMutexExW(security, name, CREATE_MUTEX_INITIAL_OWNER, kMutexAccess));
        const DWORD error = GetLastError();
        if (!mutex) return;
        if (error != ERROR_ALREADY_EXISTS) {
            held.push_back(std::move(mutex));
        } else if (OwnedByAdministrators(mutex.get())) {
            others.push_back(std::move(mutex));
        }
    }

    void ClaimAll() {
        AdministratorsOnly security;
        Claim(kInstanceName, security.get());
        space = OpenProgramNamespace(security.get());
        if (space) Claim(kNamespacedName, security.get());
    }

    void ReleaseAll() {
        for (const UniqueHandle& mutex : held)
            ReleaseMutex(mutex.get());
        held.clear();
        others.clear();
        space.reset();
    }
};

SingleInstance::SingleInstance() : names_(std::make_unique<Names>()) {
    names_->ClaimAll();
}

SingleInstance::~SingleInstance() {
    names_->ReleaseAll();
}

bool SingleInstance::AnotherCopyRuns() const {
    return !names_->others.empty();
}

bool SingleInstance::WaitForTheOtherToEnd(unsigned long timeoutMs) {
    std::vector<UniqueHandle>& others = names_->others;
    if (others.empty()) return true;
    std::vector<HANDLE> handles;
    for (const UniqueHandle& mutex : others)
        handles.push_back(mutex.get());
    // The other copy holds its names until it ends; ended without letting
    // go, they are abandoned, and ours all the same.
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD waited = WaitForMultipleObjects(count, handles.data(), TRUE, timeoutMs);
    const bool ended = waited < WAIT_OBJECT_0 + count ||
                       (waited >= WAIT_ABANDONED_0 && waited < WAIT_ABANDONED_0 + count);
    if (!ended) return false;
    for (HANDLE mutex : handles)
        ReleaseMutex(mutex);
    // Claimed afresh: the namespace the other copy made went with it, and a
    // start meanwhile may hold a name now.
    names_->ReleaseAll();
    names_->ClaimAll();
    return !AnotherCopyRuns();
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

RunningCopy LeaveToRunningCopy(SingleInstance& instance, unsigned long waitMs) {
    // By default longer than a splash shows, and than a copy being ended
    // takes to go.
    const ULONGLONG giveUp = GetTickCount64() + waitMs;
    do {
        if (BringRunningCopyForward()) return RunningCopy::BroughtForward;
        if (instance.WaitForTheOtherToEnd(100)) return RunningCopy::Ended;
    } while (GetTickCount64() < giveUp);
    return RunningCopy::NotAnswering;
}

std::string NotAnsweringNotice() {
    return "Tolvar AntiVirus is already running, but it does not answer: it may be busy, or "
           "running for another user of this computer.\n\nThis start ends, so that two copies "
           "do not overwrite each other's quarantine vault and settings. Try again once the "
           "running copy has ended or answers.";
}

}  // namespace tolvar
