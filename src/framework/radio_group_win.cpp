#include "framework/radio_group_win.h"

namespace tolvar {

namespace {
// The items share the height below the caption evenly.
constexpr int kItemsTop = 16;
constexpr int kItemsBottomMargin = 4;
constexpr int kItemLeft = 8;
constexpr int kItemHeight = 17;
}  // namespace

// One standard radio button. The group keeps the selection itself rather
// than leaving it to automatic radio buttons, so that only the user's clicks
// report a change and the selection can also be "none".
class RadioGroup::Item : public WindowedControl {
public:
    Item(WindowedControl& parent, const Bounds& at, const std::string& caption, bool first)
        : WindowedControl(&parent) {
        bounds_ = at;
        // Clipped by its siblings: a control placed beside an item lies over
        // the item's button.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | BS_RADIOBUTTON;
        if (first) style |= WS_GROUP | WS_TABSTOP;
        createHandle(0, "BUTTON", caption.c_str(), style, parent.handle(), true);
        useControlFont();
        // The group is one Tab stop (its selected item); the arrow keys
        // move between the items.
        accessible.role = AccessibleRole::RadioButton;
        setTabStop(true);
    }
    std::string captionText() const override { return windowText(); }
    bool captionMarksAccessKey() const override { return true; }
    void setChecked(bool checked) {
        SendMessageA(handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

protected:
    void command(WORD notification) override {
        if (notification == BN_CLICKED) click();
    }
};

RadioGroup::RadioGroup(WindowedControl& parent, int left, int top, int width, int height,
                       const std::string& caption, const std::vector<std::string>& items)
    : GroupBox(parent, left, top, width, height, caption) {
    const int n = static_cast<int>(items.size());
    const int row = n > 0 ? (height - kItemsTop - kItemsBottomMargin) / n : 0;
    for (int i = 0; i < n; ++i) {
        const Bounds at{kItemLeft, kItemsTop + i * row + (row - kItemHeight) / 2,
                        width - 2 * kItemLeft, kItemHeight};
        Item& item = add<Item>(at, items[static_cast<std::size_t>(i)], i == 0);
        item.onClick = [this, i] { choose(i); };
        items_.push_back(&item);
    }
}

void RadioGroup::setItemIndex(int index) {
    if (index < 0 || index >= count()) index = -1;
    index_ = index;
    for (int i = 0; i < count(); ++i)
        items_[static_cast<std::size_t>(i)]->setChecked(i == index_);
}

const Bounds& RadioGroup::itemBounds(int index) const {
    return items_.at(static_cast<std::size_t>(index))->bounds();
}

void RadioGroup::choose(int index) {
    if (index == index_) return;
    setItemIndex(index);
    if (onChange) onChange();
}

void RadioGroup::enabledChanged() {
    GroupBox::enabledChanged();
    for (Item* item : items_)
        item->setEnabled(enabled_);
}

}  // namespace tolvar
