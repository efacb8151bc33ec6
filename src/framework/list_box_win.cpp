#include "framework/list_box_win.h"

#include "core/wide_text_win.h"
#include "framework/accessible_sources_win.h"

namespace tolvar {

ListBox::ListBox(WindowedControl& parent, int left, int top, int width, int height,
                 SelectionMode mode, int itemHeight)
    : WindowedControl(&parent), mode_(mode), itemHeight_(itemHeight) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::List;
    DWORD style = WS_CHILD | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                  LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
    if (mode == SelectionMode::Multiple) style |= LBS_EXTENDEDSEL;
    createHandle(WS_EX_CLIENTEDGE, "LISTBOX", "", style, parent.handle(), true);
    // The row height is asked for while the window is created, before the
    // list is tied to this object; set it now.
    setItemHeight(itemHeight);
    useControlFont();
}

void ListBox::addItem(const std::string& text) {
    SendMessageA(handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ListBox::clear() {
    SendMessageA(handle(), LB_RESETCONTENT, 0, 0);
}

int ListBox::count() const {
    return static_cast<int>(SendMessageA(handle(), LB_GETCOUNT, 0, 0));
}

std::string ListBox::item(int index) const {
    LRESULT len = SendMessageA(handle(), LB_GETTEXTLEN, index, 0);
    if (len == LB_ERR) return {};
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    LRESULT got = SendMessageA(handle(), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

void ListBox::deleteItem(int index) {
    SendMessageA(handle(), LB_DELETESTRING, index, 0);
}

int ListBox::itemIndex() const {
    if (mode_ == SelectionMode::Multiple) {
        if (count() == 0) return -1;
        return static_cast<int>(SendMessageA(handle(), LB_GETCARETINDEX, 0, 0));
    }
    LRESULT i = SendMessageA(handle(), LB_GETCURSEL, 0, 0);
    return i == LB_ERR ? -1 : static_cast<int>(i);
}

void ListBox::setItemIndex(int index) {
    if (mode_ == SelectionMode::Multiple) {
        SendMessageA(handle(), LB_SETSEL, FALSE, -1);
        if (index >= 0) {
            SendMessageA(handle(), LB_SETSEL, TRUE, index);
            SendMessageA(handle(), LB_SETCARETINDEX, index, FALSE);
        }
    } else {
        SendMessageA(handle(), LB_SETCURSEL, index, 0);
    }
}

bool ListBox::selected(int index) const {
    LRESULT r = SendMessageA(handle(), LB_GETSEL, index, 0);
    return r != LB_ERR && r > 0;
}

void ListBox::setSelected(int index, bool selected) {
    if (mode_ == SelectionMode::Multiple) {
        SendMessageA(handle(), LB_SETSEL, selected ? TRUE : FALSE, index);
    } else if (selected) {
        SendMessageA(handle(), LB_SETCURSEL, index, 0);
    } else if (itemIndex() == index) {
        SendMessageA(handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
}

std::vector<int> ListBox::selectedIndexes() const {
    std::vector<int> result;
    const int n = count();
    for (int i = 0; i < n; ++i) {
        if (selected(i)) result.push_back(i);
    }
    return result;
}

int ListBox::caretIndex() const {
    if (count() == 0) return -1;
    const LRESULT caret = SendMessageA(handle(), LB_GETCARETINDEX, 0, 0);
    return caret == LB_ERR ? -1 : static_cast<int>(caret);
}

std::string ListBox::rowText(int index) const {
    return onRowText ? onRowText(index) : item(index);
}

Microsoft::WRL::ComPtr<IAccessible> ListBox::makeAccessibleObject() {
    return keep(AccessibleObject::Create(MakeListRowsSource(*this)));
}

LRESULT ListBox::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // Ctrl+A selects every row of a list that takes several, as Explorer's
    // lists do; the system's list box has no key for it.
    if (msg == WM_KEYDOWN && wp == 'A' && mode_ == SelectionMode::Multiple &&
        GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
        if (count() > 0) {
            SendMessageA(handle(), LB_SETSEL, TRUE, -1);
            if (onSelectionChange) onSelectionChange();
        }
        return 0;
    }
    const LRESULT result = WindowedControl::handleMessage(msg, wp, lp);
    // The row the focus moves to is announced as the list's focused child,
    // as the list's own object tells it; the system announces only the list.
    if (msg == WM_SETFOCUS ||
        ((msg == WM_KEYDOWN || msg == WM_LBUTTONDOWN) && GetFocus() == handle())) {
        const int caret = caretIndex();
        if (caret >= 0 && caret != announcedCaret_) {
            announcedCaret_ = caret;
            NotifyWinEvent(EVENT_OBJECT_FOCUS, handle(), OBJID_CLIENT, caret + 1);
        }
    }
    if (msg == WM_KILLFOCUS) announcedCaret_ = -1;
    return result;
}

void ListBox::setItemHeight(int height) {
    itemHeight_ = height;
    SendMessageA(handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0));
    invalidate();
}

void ListBox::drawItem(const DRAWITEMSTRUCT& dis) {
    if (dis.itemID == static_cast<UINT>(-1)) {
        // An empty list with the focus: only the focus rectangle.
        if (dis.itemState & ODS_FOCUS) DrawFocusRect(dis.hDC, &dis.rcItem);
        return;
    }
    ListRow row{static_cast<int>(dis.itemID), dis.rcItem, (dis.itemState & ODS_SELECTED) != 0,
                (dis.itemState & ODS_FOCUS) != 0};
    if (onDrawItem) {
        onDrawItem(dis.hDC, row);
    } else {
        drawPlainRow(dis.hDC, row);
    }
    if (row.focused) DrawFocusRect(dis.hDC, &dis.rcItem);
}

void ListBox::drawPlainRow(HDC dc, const ListRow& row) const {
    FillRect(dc, &row.rect, GetSysColorBrush(row.selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(row.selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = row.rect;
    text.left += 2;
    // Wide: an item may be a folder with any characters in its name.
    std::wstring s = Utf8ToWide(item(row.index));
    DrawTextW(dc, s.data(), static_cast<int>(s.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void ListBox::command(WORD notification) {
    if (notification == LBN_SELCHANGE && onSelectionChange) onSelectionChange();
}

}  // namespace tolvar
