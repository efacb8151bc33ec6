#pragma once

// An owner-drawn list box with rows of one fixed height: the infection list,
// the vault list and the folder list. A list that takes several rows takes
// them as the system's lists do (Ctrl and Shift with the mouse, Shift with
// the arrows), and Ctrl+A selects them all. The owner draws each row; the
// focus rectangle comes after, as the system's own list boxes do it. To an
// accessibility client it is a list whose items read as their rows do.

#include <functional>
#include <string>
#include <vector>

#include "framework/windowed_control_win.h"

namespace tolvar {

enum class SelectionMode { Single, Multiple };

struct ListRow {
    int index;
    RECT rect;
    bool selected;
    bool focused;
};

class ListBox : public WindowedControl {
public:
    ListBox(WindowedControl& parent, int left, int top, int width, int height,
            SelectionMode mode = SelectionMode::Single, int itemHeight = 16);

    void addItem(const std::string& text);
    void clear();
    int count() const;
    std::string item(int index) const;
    void deleteItem(int index);

    // The focused row in a multi-select list, the selected one otherwise;
    // -1 for none.
    int itemIndex() const;
    void setItemIndex(int index);
    bool selected(int index) const;
    void setSelected(int index, bool selected);
    std::vector<int> selectedIndexes() const;

    int itemHeight() const { return itemHeight_; }
    void setItemHeight(int height);
    // The row with the focus rectangle; -1 in an empty list.
    int caretIndex() const;
    // What a row reads as: rowText if set, else the item's text.
    std::string rowText(int index) const;

    // Draws one row into dc; without it rows show their text plainly.
    std::function<void(HDC dc, const ListRow& row)> onDrawItem;
    std::function<void()> onSelectionChange;
    // What a row says beyond the item's text (the owner may draw more).
    std::function<std::string(int index)> onRowText;

protected:
    void drawItem(const DRAWITEMSTRUCT& dis) override;
    void command(WORD notification) override;
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    Microsoft::WRL::ComPtr<IAccessible> makeAccessibleObject() override;

private:
    void drawPlainRow(HDC dc, const ListRow& row) const;
    SelectionMode mode_;
    int itemHeight_;
    int announcedCaret_ = -1;
};

}  // namespace tolvar
