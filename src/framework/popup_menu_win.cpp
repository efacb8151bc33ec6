#include "framework/popup_menu_win.h"

#include "framework/gdi_handles_win.h"

namespace tolvar {

PopupMenu::Item& PopupMenu::add(const std::string& caption, std::function<void()> onClick) {
    items_.push_back(Item{caption, std::move(onClick), true});
    return items_.back();
}

PopupMenu::Item* PopupMenu::find(const std::string& caption) {
    for (Item& item : items_) {
        if (!item.caption.empty() && item.caption == caption) return &item;
    }
    return nullptr;
}

void PopupMenu::addSeparator() {
    items_.push_back(Item{});
}

void PopupMenu::popup(HWND owner, int screenX, int screenY) {
    int chosen = -1;
    if (chooser) {
        chosen = chooser(items_);
    } else {
        UniqueMenu menu;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Item& item = items_[i];
            if (item.caption.empty()) {
                AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
            } else {
                AppendMenuA(
                    menu.get(),
                    MF_STRING | (item.enabled ? 0 : MF_GRAYED) | (item.checked ? MF_CHECKED : 0),
                    i + 1, item.caption.c_str());
            }
        }
        // The owner must be foreground or the menu does not close when the
        // user clicks elsewhere.
        SetForegroundWindow(owner);
        chosen = static_cast<int>(TrackPopupMenu(menu.get(),
                                                 TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                 screenX, screenY, 0, owner, nullptr)) -
                 1;
        PostMessageA(owner, WM_NULL, 0, 0);
    }
    if (chosen >= 0 && chosen < static_cast<int>(items_.size())) {
        const Item& item = items_[chosen];
        if (item.enabled && item.onClick) item.onClick();
    }
}

}  // namespace tolvar
