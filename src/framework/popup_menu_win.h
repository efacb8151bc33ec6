#pragma once

// A context menu: captions with handlers, shown at a screen point.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tolvar {

class PopupMenu {
public:
    struct Item {
        std::string caption;  // empty for a separator
        std::function<void()> onClick;
        bool enabled = true;
        // Shown with a check mark: a setting that is on.
        bool checked = false;
    };

    Item& add(const std::string& caption, std::function<void()> onClick);
    void addSeparator();
    std::vector<Item>& items() { return items_; }
    // The item of this caption; null when there is none.
    Item* find(const std::string& caption);

    // Shows the menu and runs the chosen item's handler after the menu has
    // closed.
    void popup(HWND owner, int screenX, int screenY);

    // Test hook: when set, popup() asks it for the chosen item index (or -1)
    // instead of showing the menu.
    std::function<int(const std::vector<Item>&)> chooser;

private:
    std::vector<Item> items_;
};

}  // namespace tolvar
