// A small accessibility client, as a screen reader talks to a window from a
// process of its own: it sends WM_GETOBJECT itself and takes the answer
// with ObjectFromLresult (Wine's AccessibleObjectFromWindow gives nothing
// for a window that does not answer as Windows' own controls do).
//
//   accessibility_client tree HWND
//     prints the window's tree, one element a line:
//     depth<TAB>role<TAB>name<TAB>state<TAB>value (state in hex)
//   accessibility_client focus HWND COUNT READY_EVENT
//     hooks the focus events of the window's process, sets the named event
//     once it listens, and prints "focus<TAB>role<TAB>name" for each of
//     COUNT events (ends after 20 s without them)
//   accessibility_client press HWND NAME
//     does the default action of the first element of that name
//
// Exit code 0 on success, 2 when the window gave no object, 3 on a bad
// command line, 4 when the element was not found.

#include <windows.h>

#include <oleacc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, int length) {
    if (!text || length <= 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::string Take(BSTR text) {
    std::string out = text ? Utf8(text, static_cast<int>(SysStringLen(text))) : std::string();
    SysFreeString(text);
    return out;
}

VARIANT ChildId(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// The window's object, asked for as a client must under Wine.
IAccessible* ObjectOf(HWND window) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT),
                             SMTO_ABORTIFHUNG, 10000, &answer) ||
        answer == 0) {
        std::fprintf(stderr, "no answer to WM_GETOBJECT from %p\n", static_cast<void*>(window));
        return nullptr;
    }
    IAccessible* object = nullptr;
    const HRESULT hr = ObjectFromLresult(static_cast<LRESULT>(answer), __uuidof(IAccessible), 0,
                                         reinterpret_cast<void**>(&object));
    if (FAILED(hr)) {
        std::fprintf(stderr, "ObjectFromLresult failed: %08lx\n", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return object;
}

struct Element {
    long role = 0;
    long state = 0;
    std::string name;
    std::string value;
};

Element Describe(IAccessible* object, long child) {
    Element e;
    const VARIANT id = ChildId(child);
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(object->get_accRole(id, &v)) && v.vt == VT_I4) e.role = v.lVal;
    VariantClear(&v);
    if (SUCCEEDED(object->get_accState(id, &v)) && v.vt == VT_I4) e.state = v.lVal;
    VariantClear(&v);
    BSTR text = nullptr;
    if (object->get_accName(id, &text) == S_OK) e.name = Take(text);
    text = nullptr;
    if (object->get_accValue(id, &text) == S_OK) e.value = Take(text);
    return e;
}

void Print(int depth, const Element& e) {
    std::printf("%d\t%ld\t%s\t%lx\t%s\n", depth, e.role, e.name.c_str(),
                static_cast<unsigned long>(e.state), e.value.c_str());
}

// Visits every element below object: fn(object, child id, depth); a child
// with an object of its own is visited as that object's self (id 0).
template <typename Fn>
bool Walk(IAccessible* object, int depth, Fn&& fn) {
    if (fn(object, CHILDID_SELF, depth)) return true;
    long count = 0;
    if (FAILED(object->get_accChildCount(&count))) return false;
    for (long i = 1; i <= count; ++i) {
        IDispatch* dispatch = nullptr;
        const HRESULT hr = object->get_accChild(ChildId(i), &dispatch);
        if (hr == S_OK && dispatch) {
            IAccessible* child = nullptr;
            const HRESULT got =
                dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&child));
            dispatch->Release();
            if (SUCCEEDED(got) && child) {
                const bool done = Walk(child, depth + 1, fn);
                child->Release();
                if (done) return true;
            }
            continue;
        }
        if (fn(object, i, depth + 1)) return true;
    }
    return false;
}

int Tree(HWND window) {
    IAccessible* root = ObjectOf(window);
    if (!root) return 2;
    Walk(root, 0, [](IAccessible* object, long child, int depth) {
        Print(depth, Describe(object, child));
        return false;
    });
    root->Release();
    return 0;
}

int Press(HWND window, const std::string& name) {
    IAccessible* root = ObjectOf(window);
    if (!root) return 2;
    bool pressed = false;
    Walk(root, 0, [&](IAccessible* object, long child, int) {
        if (Describe(object, child).name != name) return false;
        pressed = SUCCEEDED(object->accDoDefaultAction(ChildId(child)));
        return true;
    });
    root->Release();
    return pressed ? 0 : 4;
}

int focusEvents = 0;

void CALLBACK OnFocus(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG child, DWORD, DWORD) {
    // The event names the window and child; the client asks that window.
    if (objectId != OBJID_CLIENT) return;
    ++focusEvents;
    IAccessible* object = ObjectOf(window);
    if (!object) {
        std::printf("focus\t0\t(no object)\n");
    } else {
        const Element e = Describe(object, child);
        std::printf("focus\t%ld\t%s\n", e.role, e.name.c_str());
        object->Release();
    }
    std::fflush(stdout);
}

int Focus(HWND window, int count, const char* readyEvent) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
                                               OnFocus, process, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook) return 2;
    if (HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent)) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    const ULONGLONG start = GetTickCount64();
    while (focusEvents < count && GetTickCount64() - start < 20000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    UnhookWinEvent(hook);
    return focusEvents >= count ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 3;
    const std::string command = argv[1];
    const HWND window =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 3;
    if (command == "tree") {
        result = Tree(window);
    } else if (command == "focus" && argc >= 5) {
        result = Focus(window, std::atoi(argv[3]), argv[4]);
    } else if (command == "press" && argc >= 4) {
        result = Press(window, argv[3]);
    }
    std::fflush(stdout);
    CoUninitialize();
    return result;
}
