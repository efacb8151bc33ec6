#pragma once

// A group box of radio buttons, one per item, in one column; exactly one
// item or none is selected.

#include <functional>
#include <string>
#include <vector>

#include "framework/group_box_win.h"

namespace tolvar {

class RadioGroup : public GroupBox {
public:
    RadioGroup(WindowedControl& parent, int left, int top, int width, int height,
               const std::string& caption, const std::vector<std::string>& items);

    int count() const { return static_cast<int>(items_.size()); }
    // -1 when no item is selected.
    int itemIndex() const { return index_; }
    // An index outside the items selects none. Runs no onChange.
    void setItemIndex(int index);
    // Where an item's button lies in the group, for placing a control beside
    // it (bring that control to the front: the buttons span the group's width).
    const Bounds& itemBounds(int index) const;

    // The user selected another item.
    std::function<void()> onChange;

protected:
    void enabledChanged() override;

private:
    class Item;
    void choose(int index);

    std::vector<Item*> items_;
    int index_ = -1;
};

}  // namespace tolvar
