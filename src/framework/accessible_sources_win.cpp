#include "framework/accessible_sources_win.h"

#include <algorithm>

#include "framework/accessible_children_win.h"
#include "framework/application_win.h"
#include "framework/form_win.h"
#include "framework/list_box_win.h"

namespace tolvar {

namespace {

using Microsoft::WRL::ComPtr;

bool HasFocus(const Control& control) {
    const WindowedControl* window =
        control.isWindowed() ? static_cast<const WindowedControl*>(&control) : control.parent();
    const Form* form = window ? window->form() : nullptr;
    return form && form->keyboard().hasFocus(control);
}

std::string Shortcut(const Control& control) {
    const char key = control.accessKey();
    return key ? std::string("Alt+") + key : std::string();
}

std::string DefaultAction(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::PushButton:
            return "Press";
        case AccessibleRole::Link:
            return "Jump";
        case AccessibleRole::CheckButton:
        case AccessibleRole::RadioButton:
            return "Check";
        default:
            return {};
    }
}

RECT ClientRect(const WindowedControl& window) {
    RECT r{0, 0, window.bounds().width, window.bounds().height};
    if (window.handle()) GetClientRect(window.handle(), &r);
    return r;
}

// The object of a window's container: the parent window's, or for a
// top-level window the system's object of its frame.
ComPtr<IAccessible> ContainerObject(WindowedControl& window) {
    if (WindowedControl* parent = window.parent()) return parent->accessibleObject();
    if (Application* app = Application::current()) {
        return app->oleacc().StandardObject(window.handle(), OBJID_WINDOW);
    }
    return nullptr;
}

class ChildrenSource final : public AccessibleSource {
public:
    explicit ChildrenSource(WindowedControl& window) : window_(window) {}

    HWND window() const override { return window_.handle(); }
    long childCount() const override { return static_cast<long>(ExposedChildren(window_).size()); }

    bool describe(long child, AccessibleElement& element) const override {
        if (child == CHILDID_SELF) {
            element = DescribeControl(window_);
            element.bounds = ClientRect(window_);
            return true;
        }
        const Control* control = childAt(child);
        if (!control) return false;
        element = DescribeControl(*control);
        return true;
    }

    ComPtr<IAccessible> childObject(long child) const override {
        Control* control = childAt(child);
        if (!control || !control->isWindowed()) return nullptr;
        return static_cast<WindowedControl*>(control)->accessibleObject();
    }

    ComPtr<IAccessible> parentObject() const override { return ContainerObject(window_); }

    long focusedChild() const override {
        const HWND holder = GetFocus();
        if (!holder) return -1;
        const std::vector<Control*> children = ExposedChildren(window_);
        for (std::size_t i = 0; i < children.size(); ++i) {
            Control* c = children[i];
            const bool here =
                c->isWindowed() ? IsChildOrSelf(static_cast<WindowedControl*>(c)->handle(), holder)
                                : HasFocus(*c);
            if (here) return static_cast<long>(i + 1);
        }
        return holder == window_.handle() ? CHILDID_SELF : -1;
    }

    long childAt(POINT at) const override {
        const std::vector<Control*> children = ExposedChildren(window_);
        // The last painted lies on top.
        for (std::size_t i = children.size(); i-- > 0;) {
            const Control* c = children[i];
            if (c->visible() && c->bounds().contains(at.x, at.y)) return static_cast<long>(i + 1);
        }
        const RECT client = ClientRect(window_);
        return PtInRect(&client, at) ? CHILDID_SELF : -1;
    }

    bool doDefaultAction(long child) override {
        Control* control = childAt(child);
        if (!control || DefaultAction(control->accessibleRole()).empty()) return false;
        if (control->isWindowed()) {
            PostMessageA(static_cast<WindowedControl*>(control)->handle(), BM_CLICK, 0, 0);
        } else {
            PressLater(*control);
        }
        return true;
    }

    bool select(long child, long flags) override {
        Control* control = childAt(child);
        if (!control || !(flags & SELFLAG_TAKEFOCUS)) return false;
        Form* form = window_.form();
        return form && form->keyboard().focus(*control);
    }

private:
    Control* childAt(long child) const {
        const std::vector<Control*> children = ExposedChildren(window_);
        if (child < 1 || child > static_cast<long>(children.size())) return nullptr;
        return children[static_cast<std::size_t>(child - 1)];
    }

    static bool IsChildOrSelf(HWND window, HWND holder) {
        return holder == window || IsChild(window, holder);
    }

    WindowedControl& window_;
};

class StandardControlSource final : public AccessibleSource {
public:
    explicit StandardControlSource(WindowedControl& control) : control_(control) {}

    HWND window() const override { return control_.handle(); }
    long childCount() const override { return 0; }

    bool describe(long child, AccessibleElement& element) const override {
        if (child != CHILDID_SELF) return false;
        element = DescribeControl(control_);
        element.bounds = ClientRect(control_);
        const AccessibleRole role = control_.accessibleRole();
        if (role == AccessibleRole::CheckButton || role == AccessibleRole::RadioButton) {
            if (SendMessageA(control_.handle(), BM_GETCHECK, 0, 0) == BST_CHECKED) {
                element.state |= STATE_SYSTEM_CHECKED;
            }
        }
        return true;
    }

    ComPtr<IAccessible> parentObject() const override { return ContainerObject(control_); }
    long focusedChild() const override {
        return GetFocus() == control_.handle() ? CHILDID_SELF : -1;
    }
    long childAt(POINT at) const override {
        const RECT client = ClientRect(control_);
        return PtInRect(&client, at) ? CHILDID_SELF : -1;
    }
    bool doDefaultAction(long child) override {
        if (child != CHILDID_SELF || DefaultAction(control_.accessibleRole()).empty()) return false;
        PostMessageA(control_.handle(), BM_CLICK, 0, 0);
        return true;
    }
    bool select(long child, long flags) override {
        if (child != CHILDID_SELF || !(flags & SELFLAG_TAKEFOCUS)) return false;
        Form* form = control_.form();
        return form && form->keyboard().focus(control_);
    }

private:
    WindowedControl& control_;
};

class ListRowsSource final : public AccessibleSource {
public:
    explicit ListRowsSource(ListBox& list) : list_(list) {}

    HWND window() const override { return list_.handle(); }
    long childCount() const override { return list_.count(); }

    bool describe(long child, AccessibleElement& element) const override {
        if (child == CHILDID_SELF) {
            element = DescribeControl(list_);
            element.role = AccessibleRole::List;
            element.bounds = ClientRect(list_);
            return true;
        }
        const int row = static_cast<int>(child - 1);
        if (row < 0 || row >= list_.count()) return false;
        element.role = AccessibleRole::ListItem;
        element.name = list_.rowText(row);
        element.state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
        if (list_.selected(row)) element.state |= STATE_SYSTEM_SELECTED;
        if (GetFocus() == list_.handle() && list_.caretIndex() == row) {
            element.state |= STATE_SYSTEM_FOCUSED;
        }
        SendMessageA(list_.handle(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&element.bounds));
        RECT client = ClientRect(list_);
        RECT shown{};
        if (!IntersectRect(&shown, &client, &element.bounds)) {
            element.state |= STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE;
        }
        if (!list_.showing()) element.state |= STATE_SYSTEM_INVISIBLE;
        return true;
    }

    ComPtr<IAccessible> parentObject() const override { return ContainerObject(list_); }

    long focusedChild() const override {
        if (GetFocus() != list_.handle()) return -1;
        const int caret = list_.caretIndex();
        return caret >= 0 ? caret + 1 : CHILDID_SELF;
    }

    long childAt(POINT at) const override {
        const RECT client = ClientRect(list_);
        if (!PtInRect(&client, at)) return -1;
        const LRESULT hit =
            SendMessageA(list_.handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
        // The high word says the point lies outside every row.
        if (HIWORD(hit) != 0) return CHILDID_SELF;
        return static_cast<long>(LOWORD(hit)) + 1;
    }

    bool doDefaultAction(long) override { return false; }

    std::vector<long> selectedChildren() const override {
        std::vector<long> rows;
        for (int row : list_.selectedIndexes())
            rows.push_back(row + 1);
        return rows;
    }

    bool select(long child, long flags) override {
        const int row = static_cast<int>(child - 1);
        if (row < 0 || row >= list_.count()) return false;
        if (flags & SELFLAG_TAKEFOCUS) {
            Form* form = list_.form();
            if (form) form->keyboard().focus(list_);
        }
        if (flags & (SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION)) {
            if (flags & SELFLAG_TAKESELECTION) list_.setItemIndex(row);
            list_.setSelected(row, true);
        }
        if (flags & SELFLAG_REMOVESELECTION) list_.setSelected(row, false);
        return true;
    }

private:
    ListBox& list_;
};

}  // namespace

AccessibleElement DescribeControl(const Control& control) {
    AccessibleElement element;
    element.role = control.accessibleRole();
    element.name = control.accessibleName();
    element.value = control.accessibleValue();
    element.shortcut = Shortcut(control);
    element.defaultAction = DefaultAction(element.role);
    element.bounds = control.bounds().rect();
    long state = 0;
    if (!control.showing()) state |= STATE_SYSTEM_INVISIBLE;
    if (!control.enabledInWindow() ||
        (control.accessible.unavailable && control.accessible.unavailable())) {
        state |= STATE_SYSTEM_UNAVAILABLE;
    }
    if (control.tabStop()) state |= STATE_SYSTEM_FOCUSABLE;
    if (HasFocus(control)) state |= STATE_SYSTEM_FOCUSED;
    if (control.accessible.pressed && control.accessible.pressed()) state |= STATE_SYSTEM_PRESSED;
    if (element.role == AccessibleRole::StaticText || element.role == AccessibleRole::ProgressBar) {
        state |= STATE_SYSTEM_READONLY;
    }
    if (element.role == AccessibleRole::Link) state |= STATE_SYSTEM_LINKED;
    element.state = state;
    return element;
}

void PressLater(const Control& control) {
    Application* app = Application::current();
    const WindowedControl* parent = control.parent();
    if (!app || !parent) return;
    const HWND window = parent->handle();
    const Control* target = &control;
    app->post([window, target] {
        WindowedControl* owner = WindowedControl::fromHandle(window);
        if (!owner) return;
        for (const auto& child : owner->children()) {
            if (child.get() == target) {
                child->press();
                return;
            }
        }
    });
}

std::unique_ptr<AccessibleSource> MakeChildrenSource(WindowedControl& window) {
    return std::make_unique<ChildrenSource>(window);
}

std::unique_ptr<AccessibleSource> MakeStandardControlSource(WindowedControl& control) {
    return std::make_unique<StandardControlSource>(control);
}

std::unique_ptr<AccessibleSource> MakeListRowsSource(ListBox& list) {
    return std::make_unique<ListRowsSource>(list);
}

}  // namespace tolvar
