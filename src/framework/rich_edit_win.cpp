#include "framework/rich_edit_win.h"

#include <richedit.h>

#include "core/app_error.h"
#include "core/system_library_win.h"

namespace tolvar {

detail::RichEditLibrary::RichEditLibrary() {
    // The newer library first; the older one is on every system.
    const struct {
        const char* library;
        const char* windowClass;
    } kinds[] = {{"Msftedit.dll", "RICHEDIT50W"}, {"Riched20.dll", RICHEDIT_CLASSA}};
    for (const auto& kind : kinds) {
        module.reset(LoadSystemLibrary(kind.library));
        if (module) {
            className = kind.windowClass;
            return;
        }
    }
    throw AppError("Cannot load the system's rich text library");
}

RichEdit::RichEdit(WindowedControl& parent, int left, int top, int width, int height)
    : WindowedControl(&parent) {
    bounds_ = Bounds{left, top, width, height};
    accessible.role = AccessibleRole::Text;
    accessible.value = [this] { return text(); };
    createHandle(WS_EX_CLIENTEDGE, className, "",
                 WS_CHILD | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                 parent.handle(), true);
    // Plain text: one font for all of it, and a text that happens to begin
    // like rich text is still shown as it is.
    SendMessageA(handle(), EM_SETTEXTMODE, TM_PLAINTEXT, 0);
}

void RichEdit::setText(const std::string& text) {
    SetWindowTextA(handle(), text.c_str());
    SendMessageA(handle(), EM_SETMODIFY, FALSE, 0);
}

std::string RichEdit::text() const {
    const int length = GetWindowTextLengthA(handle());
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(handle(), text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void RichEdit::setFont(const FontSpec& wanted) {
    UniqueFont made = CreateFontFrom(wanted);
    SendMessageA(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), TRUE);
    font = std::move(made);
}

bool RichEdit::wantsKey(int virtualKey) const {
    return virtualKey == VK_RETURN || virtualKey == VK_ESCAPE;
}

int RichEdit::displayLineCount() const {
    return static_cast<int>(SendMessageA(handle(), EM_GETLINECOUNT, 0, 0));
}

}  // namespace tolvar
