#include "framework/accessible_object_win.h"

#include <new>

#include "core/wide_text_win.h"

namespace tolvar {

namespace {

using Microsoft::WRL::ComPtr;

// Every COM method runs inside this: nothing may be thrown across COM.
template <typename F>
HRESULT Guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT ToBstr(const std::string& text, BSTR* out) {
    if (text.empty()) return S_FALSE;
    const std::wstring wide = Utf8ToWide(text);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT DispatchOf(const ComPtr<IAccessible>& object, IDispatch** out) {
    if (!object) return S_FALSE;
    return object->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(out));
}

}  // namespace

long SystemRole(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::None:
            break;
        case AccessibleRole::Client:
            return ROLE_SYSTEM_CLIENT;
        case AccessibleRole::Dialog:
            return ROLE_SYSTEM_DIALOG;
        case AccessibleRole::Pane:
            return ROLE_SYSTEM_PANE;
        case AccessibleRole::Grouping:
            return ROLE_SYSTEM_GROUPING;
        case AccessibleRole::PushButton:
            return ROLE_SYSTEM_PUSHBUTTON;
        case AccessibleRole::CheckButton:
            return ROLE_SYSTEM_CHECKBUTTON;
        case AccessibleRole::RadioButton:
            return ROLE_SYSTEM_RADIOBUTTON;
        case AccessibleRole::Link:
            return ROLE_SYSTEM_LINK;
        case AccessibleRole::StaticText:
            return ROLE_SYSTEM_STATICTEXT;
        case AccessibleRole::Text:
            return ROLE_SYSTEM_TEXT;
        case AccessibleRole::List:
            return ROLE_SYSTEM_LIST;
        case AccessibleRole::ListItem:
            return ROLE_SYSTEM_LISTITEM;
        case AccessibleRole::ProgressBar:
            return ROLE_SYSTEM_PROGRESSBAR;
    }
    return ROLE_SYSTEM_CLIENT;
}

ComPtr<IAccessible> AccessibleSource::childObject(long) const {
    return nullptr;
}

ComPtr<AccessibleObject> AccessibleObject::Create(std::unique_ptr<AccessibleSource> source) {
    ComPtr<AccessibleObject> object;
    // The reference the constructor counts is the one handed over here.
    object.Attach(new AccessibleObject(std::move(source)));
    return object;
}

AccessibleObject::AccessibleObject(std::unique_ptr<AccessibleSource> source)
    : source_(std::move(source)) {}

void AccessibleObject::Disconnect() noexcept {
    source_.reset();
}

HRESULT AccessibleObject::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
        riid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
    } else if (riid == __uuidof(IOleWindow)) {
        *object = static_cast<IOleWindow*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG AccessibleObject::AddRef() {
    return ++references_;
}

ULONG AccessibleObject::Release() {
    const ULONG left = --references_;
    // The object is made only by Create and lives only in COM references.
    if (left == 0) delete this;
    return left;
}

HRESULT AccessibleObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT AccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT AccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                 UINT*) {
    return E_NOTIMPL;
}

long AccessibleObject::ChildOf(const VARIANT& child) const {
    if (child.vt != VT_I4) return -1;
    if (child.lVal < 0 || child.lVal > source_->childCount()) return -1;
    return child.lVal;
}

HRESULT AccessibleObject::Describe(const VARIANT& child, AccessibleElement& element) const {
    if (!source_) return CO_E_OBJNOTCONNECTED;
    const long id = ChildOf(child);
    if (id < 0 || !source_->describe(id, element)) return E_INVALIDARG;
    return S_OK;
}

HRESULT AccessibleObject::ChildVariant(long child, VARIANT* out) const {
    if (child > 0) {
        if (ComPtr<IAccessible> object = source_->childObject(child)) {
            IDispatch* dispatch = nullptr;
            const HRESULT hr =
                object->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(&dispatch));
            if (FAILED(hr)) return hr;
            out->vt = VT_DISPATCH;
            out->pdispVal = dispatch;
            return S_OK;
        }
    }
    out->vt = VT_I4;
    out->lVal = child;
    return S_OK;
}

HRESULT AccessibleObject::get_accParent(IDispatch** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        return DispatchOf(source_->parentObject(), parent);
    });
}

HRESULT AccessibleObject::get_accChildCount(long* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        *count = source_->childCount();
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accChild(VARIANT child, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const long id = ChildOf(child);
        if (id <= 0) return E_INVALIDARG;
        return DispatchOf(source_->childObject(id), object);
    });
}

template <typename Field>
HRESULT AccessibleObject::Text(VARIANT child, BSTR* out, Field field) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guarded([&]() -> HRESULT {
        AccessibleElement element;
        if (const HRESULT found = Describe(child, element); found != S_OK) return found;
        return ToBstr(element.*field, out);
    });
}

HRESULT AccessibleObject::get_accName(VARIANT child, BSTR* name) {
    return Text(child, name, &AccessibleElement::name);
}

HRESULT AccessibleObject::get_accValue(VARIANT child, BSTR* value) {
    return Text(child, value, &AccessibleElement::value);
}

HRESULT AccessibleObject::get_accDescription(VARIANT, BSTR* description) {
    if (!description) return E_POINTER;
    *description = nullptr;
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleObject::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    return Guarded([&]() -> HRESULT {
        AccessibleElement element;
        if (const HRESULT found = Describe(child, element); found != S_OK) return found;
        role->vt = VT_I4;
        role->lVal = SystemRole(element.role);
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    VariantInit(state);
    return Guarded([&]() -> HRESULT {
        AccessibleElement element;
        if (const HRESULT found = Describe(child, element); found != S_OK) return found;
        state->vt = VT_I4;
        state->lVal = element.state;
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accHelp(VARIANT, BSTR* help) {
    if (!help) return E_POINTER;
    *help = nullptr;
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleObject::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = -1;
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleObject::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return Text(child, shortcut, &AccessibleElement::shortcut);
}

HRESULT AccessibleObject::get_accDefaultAction(VARIANT child, BSTR* action) {
    return Text(child, action, &AccessibleElement::defaultAction);
}

HRESULT AccessibleObject::get_accFocus(VARIANT* focus) {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const long child = source_->focusedChild();
        if (child < 0) return S_FALSE;
        return ChildVariant(child, focus);
    });
}

HRESULT AccessibleObject::get_accSelection(VARIANT* selection) {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const std::vector<long> selected = source_->selectedChildren();
        if (selected.empty()) return S_FALSE;
        // Of several selected rows the first stands for them: the lists
        // that allow several are lists of folders, read row by row anyway.
        return ChildVariant(selected.front(), selection);
    });
}

HRESULT AccessibleObject::accSelect(long flags, VARIANT child) {
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const long id = ChildOf(child);
        if (id < 0) return E_INVALIDARG;
        return source_->select(id, flags) ? S_OK : S_FALSE;
    });
}

HRESULT AccessibleObject::accLocation(long* left, long* top, long* width, long* height,
                                      VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return Guarded([&]() -> HRESULT {
        AccessibleElement element;
        if (const HRESULT found = Describe(child, element); found != S_OK) return found;
        POINT corner{element.bounds.left, element.bounds.top};
        ClientToScreen(source_->window(), &corner);
        *left = corner.x;
        *top = corner.y;
        *width = element.bounds.right - element.bounds.left;
        *height = element.bounds.bottom - element.bounds.top;
        return S_OK;
    });
}

HRESULT AccessibleObject::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    VariantInit(end);
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const long from = ChildOf(start);
        if (from < 0) return E_INVALIDARG;
        const long count = source_->childCount();
        long to = 0;
        switch (direction) {
            case NAVDIR_FIRSTCHILD:
                if (from != CHILDID_SELF) return E_INVALIDARG;
                to = count > 0 ? 1 : 0;
                break;
            case NAVDIR_LASTCHILD:
                if (from != CHILDID_SELF) return E_INVALIDARG;
                to = count;
                break;
            case NAVDIR_NEXT:
                if (from == CHILDID_SELF) return E_NOTIMPL;  // the parent's business
                to = from < count ? from + 1 : 0;
                break;
            case NAVDIR_PREVIOUS:
                if (from == CHILDID_SELF) return E_NOTIMPL;
                to = from - 1;
                break;
            default:
                return E_NOTIMPL;
        }
        if (to <= 0) return S_FALSE;
        return ChildVariant(to, end);
    });
}

HRESULT AccessibleObject::accHitTest(long x, long y, VARIANT* child) {
    if (!child) return E_POINTER;
    VariantInit(child);
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        POINT at{x, y};
        ScreenToClient(source_->window(), &at);
        const long hit = source_->childAt(at);
        if (hit < 0) return S_FALSE;
        return ChildVariant(hit, child);
    });
}

HRESULT AccessibleObject::accDoDefaultAction(VARIANT child) {
    return Guarded([&]() -> HRESULT {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        const long id = ChildOf(child);
        if (id < 0) return E_INVALIDARG;
        return source_->doDefaultAction(id) ? S_OK : DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT AccessibleObject::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = source_ ? source_->window() : nullptr;
    return source_ ? S_OK : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleObject::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

}  // namespace tolvar
