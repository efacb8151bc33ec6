#pragma once

// The object a screen reader talks to (MSAA's IAccessible) for one window of
// the program: the window itself (child id 0) and its children, each either
// a simple element (a skin button, a label, a list row) known by its child
// id, or an object of its own (a child window). What the object says comes
// from its source; the object only speaks COM. It may outlive its window (a
// client keeps it as long as it likes): once disconnected, every call fails
// with CO_E_OBJNOTCONNECTED. No exception leaves a COM method.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/control_win.h"

namespace tolvar {

// What one element is, in the window's client coordinates.
struct AccessibleElement {
    AccessibleRole role = AccessibleRole::None;
    std::string name;
    std::string value;
    std::string shortcut;       // "Alt+S"
    std::string defaultAction;  // "Press"
    long state = 0;             // STATE_SYSTEM_ flags
    RECT bounds{};
};

class AccessibleSource {
public:
    virtual ~AccessibleSource() = default;
    virtual HWND window() const = 0;
    virtual long childCount() const = 0;
    // Describes child (0: the window itself); false when there is no such one.
    virtual bool describe(long child, AccessibleElement& element) const = 0;
    // The object of a child that has one of its own; null for a simple one.
    virtual Microsoft::WRL::ComPtr<IAccessible> childObject(long child) const;
    // The object of the window's parent (its container, or the system's
    // object of a top-level window).
    virtual Microsoft::WRL::ComPtr<IAccessible> parentObject() const = 0;
    // The child with the keyboard focus: 0 the window itself, -1 none here.
    virtual long focusedChild() const = 0;
    // The child at a point of the client area: 0 the window itself, -1
    // outside it.
    virtual long childAt(POINT client) const = 0;
    // Does the child's default action (presses a button); false when it has
    // none.
    virtual bool doDefaultAction(long child) = 0;
    virtual std::vector<long> selectedChildren() const { return {}; }
    // SELFLAG_ flags; false when nothing could be done.
    virtual bool select(long child, long flags) = 0;
};

// The MSAA role of a role.
long SystemRole(AccessibleRole role);

class AccessibleObject final : public IAccessible, public IOleWindow {
public:
    static Microsoft::WRL::ComPtr<AccessibleObject> Create(
        std::unique_ptr<AccessibleSource> source);
    AccessibleObject(const AccessibleObject&) = delete;
    AccessibleObject& operator=(const AccessibleObject&) = delete;

    // The window is gone: the source is dropped, every later call fails.
    void Disconnect() noexcept;
    IAccessible* Interface() { return this; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: no type information; clients call IAccessible directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

    // IOleWindow: the window, for WindowFromAccessibleObject.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;

private:
    explicit AccessibleObject(std::unique_ptr<AccessibleSource> source);
    ~AccessibleObject() = default;

    // The child a VARIANT names, or -1 when it names none of this object's.
    long ChildOf(const VARIANT& child) const;
    // One text of an element as a BSTR: S_FALSE and null when it is empty.
    template <typename Field>
    HRESULT Text(VARIANT child, BSTR* out, Field field);
    // What the child a VARIANT names is: CO_E_OBJNOTCONNECTED once the
    // window has gone, E_INVALIDARG for no child of this object.
    HRESULT Describe(const VARIANT& child, AccessibleElement& element) const;
    // A child as a VARIANT: its object when it has one, else its id.
    HRESULT ChildVariant(long child, VARIANT* out) const;

    std::atomic<ULONG> references_{1};
    std::unique_ptr<AccessibleSource> source_;
};

}  // namespace tolvar
