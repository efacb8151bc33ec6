#pragma once

// A top-level window: the main window and every message window. Forms
// belong to the application's hidden owner window, start hidden, and may be
// shown modally, returning the result a control set.

#include <functional>
#include <string>

#include "framework/font_win.h"
#include "framework/keyboard_focus_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

class PopupMenu;

enum class BorderStyle {
    None,    // no border or title bar; usually with a rounded region
    Dialog,  // a fixed dialog frame with a title bar
};

// Results of a modal display.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class Form : public WindowedControl {
public:
    Form(const std::string& caption, int clientWidth, int clientHeight,
         BorderStyle border = BorderStyle::None);
    ~Form() override;

    // The client size of a window of this outer size with this border.
    static SIZE ClientSizeFor(int windowWidth, int windowHeight, BorderStyle border);

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    BorderStyle borderStyle() const { return border_; }
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }

    // The window region becomes the client rectangle with corner ellipses
    // of 16 by 16 pixels.
    void setRounded(bool rounded);
    void setStayOnTop(bool stayOnTop);
    // Gives the form a taskbar button of its own.
    void setAppWindow(bool appWindow);
    void centreOnScreen();

    // The font of the standard controls on the form (edits, buttons, check
    // boxes, group captions), also those made before it was set. Until one is
    // set they use the system's GUI font.
    void setFont(const FontSpec& font);
    HFONT font() const { return font_.get(); }

    void close();
    int showModal();
    bool isModal() const { return modal_; }
    int modalResult() const { return modalResult_; }
    void setModalResult(int result) { modalResult_ = result; }

    // Moves the window with the mouse, as a drag of its title bar would.
    void beginDrag();

    // The keyboard in this window: focus, Tab order, default and cancel
    // buttons.
    KeyboardFocus& keyboard() { return keyboard_; }
    const KeyboardFocus& keyboard() const { return keyboard_; }
    // The message loops offer every key here before it is dispatched: the
    // form it is meant for takes Tab, Enter, Escape and the rest from its
    // controls. True when a form took it.
    static bool PreTranslateKey(const MSG& msg);

    std::string captionText() const override { return caption_; }

    // The tooltip window that shows the hints of the form's controls.
    HWND tooltip();

    // Shown on a right click (or the menu key) anywhere on the form.
    PopupMenu* contextMenu = nullptr;

    std::function<void()> onShow;
    // Runs when the form closes (hidden, or the program ends with the main form).
    std::function<void()> onClose;
    std::function<void(int virtualKey)> onKeyDown;

protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void visibilityChanged() override;
    void boundsChanged(const Bounds& old) override;

private:
    void applyRegion();

    std::string caption_;
    BorderStyle border_;
    int clientWidth_;
    int clientHeight_;
    bool rounded_ = false;
    bool modal_ = false;
    int modalResult_ = mrNone;
    UniqueWindow tooltip_;
    UniqueFont font_;
    KeyboardFocus keyboard_{*this};
};

}  // namespace tolvar
