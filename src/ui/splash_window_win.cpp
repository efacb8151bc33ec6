#include "ui/splash_window_win.h"

#include "framework/application_win.h"
#include "framework/bitmap_win.h"
#include "framework/gdi_handles_win.h"

namespace tolvar {

namespace {

constexpr const char* kNewFontName = "Segoe UI";
// The label stands on the picture's plain navy.
constexpr COLORREF kLabelColour = RGB(201, 220, 240);
// WM_SYSCOMMAND's low four bits are the system's own.
constexpr WPARAM kCommandMask = 0xFFF0;

// The character height of the font one point size larger, as a font's size
// is counted in points at the screen's resolution: 11 pixels (8 points at
// 96 dots per inch) become 12 (9 points).
int OneSizeLarger(int heightPixels) {
    const ScreenDC screen;
    int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    if (dpi <= 0) dpi = 96;
    const int points = MulDiv(heightPixels, 72, dpi);
    return MulDiv(points + 1, dpi, 72);
}

}  // namespace

TForm10::TForm10(bool newWindowsVersion)
    : Form(kLoadingCaption, kClientWidth, kClientHeight, BorderStyle::None),
      Image1(add<Image>(0, 0, 239, 345)),
      Label1(add<Label>(64, 312, 0, 0, "Loading Extensions ...")),
      Gauge1(add<TGauge>(0, 340, 239, 25)),
      Timer1(kTickInterval, false),
      newVersion_(newWindowsVersion),
      font_(FontSpec{"MS Sans Serif", 11}) {
    // Creation parameters: the usual ones of a form, adjusted for new
    // versions before the window is ever shown.
    HWND hwnd = handle();
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE,
                      CreationExStyle(GetWindowLongPtrA(hwnd, GWL_EXSTYLE), newVersion_));
    setStayOnTop(true);
    centreOnScreen();

    Image1.setPictureSource([] { return LoadPictureResource("FORM10_IMAGE1"); });
    Label1.setTextColor(kLabelColour);
    Timer1.onTimer = [this] { Timer1Timer(); };
    onShow = [this] { FormShow(); };
    FormCreate();
}

TForm10::~TForm10() {
    Timer1.setEnabled(false);
    if (handlesMinimize_) {
        if (Application* app = Application::current()) app->setMinimizeHandler(nullptr);
    }
}

LONG_PTR TForm10::CreationExStyle(LONG_PTR exStyle, bool newWindowsVersion) {
    if (!newWindowsVersion) return exStyle;
    return (exStyle & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW)) | WS_EX_APPWINDOW;
}

void TForm10::FormCreate() {
    if (newVersion_) {
        if (lstrcmpiA(font_.name.c_str(), kNewFontName) != 0 && FontExists(kNewFontName)) {
            font_.height = OneSizeLarger(font_.height);
            font_.name = kNewFontName;
        }
        Application::instance().setMinimizeHandler([this] { AppMinimize(); });
        handlesMinimize_ = true;
    }
    // The label and the gauge take the window's font.
    Label1.setFont(font_);
    Label1.fitToText();
    Gauge1.setFont(font_);
}

void TForm10::FormShow() {
    counter_ = 0;
    Timer1.setEnabled(true);
}

void TForm10::FormHide() {
    Timer1.setEnabled(false);
    // From now on the window only stands in for the minimised program.
    if (Application* app = Application::current()) setCaption(app->title());
}

void TForm10::visibilityChanged() {
    Form::visibilityChanged();
    if (!visible_) FormHide();
}

void TForm10::Timer1Timer() {
    ++counter_;
    Gauge1.setProgress(counter_);
    if (counter_ >= kTicks) {
        hide();
        close();
    }
}

void TForm10::AppMinimize() {
    // The original's forms vanish with the minimised application; here the
    // minimised main form would keep a taskbar button beside this one.
    if (Form* main = mainWindow(); main && main != this) ShowWindow(main->handle(), SW_HIDE);
    // Shown without making the form visible to the framework, then
    // minimised: the program's button on the taskbar.
    ShowWindow(handle(), SW_SHOW);
    Application::instance().processMessages();
    ShowWindow(handle(), SW_MINIMIZE);
}

LRESULT TForm10::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SYSCOMMAND && newVersion_) {
        const WPARAM command = wp & kCommandMask;
        if (command == SC_MINIMIZE || command == SC_MAXIMIZE || command == SC_RESTORE) {
            const LRESULT result = DefWindowProcA(handle(), msg, wp, lp);
            HWND owner = Application::instance().ownerWindow();
            const bool ownerWasVisible = IsWindowVisible(owner) != FALSE;
            ShowWindow(owner, SW_HIDE);
            // Restored from its taskbar button after the splash is done: the
            // button stood for the program, so the main window comes back,
            // as it does from the tray icon.
            if (command == SC_RESTORE && !visible_) RestoreMainWindow(ownerWasVisible);
            return result;
        }
    }
    return Form::handleMessage(msg, wp, lp);
}

void TForm10::RestoreMainWindow(bool ownerWasVisible) {
    Form* main = mainWindow();
    if (!main || main == this) return;
    if (ownerWasVisible) ShowWindow(Application::instance().ownerWindow(), SW_SHOW);
    main->show();
    HWND mainHandle = main->handle();
    ShowWindow(mainHandle, SW_RESTORE);
    ShowWindow(handle(), SW_HIDE);
    SetForegroundWindow(mainHandle);
    SetActiveWindow(mainHandle);
}

Form* TForm10::mainWindow() const {
    if (mainWindow_) return mainWindow_;
    Application* app = Application::current();
    return app ? app->mainForm() : nullptr;
}

}  // namespace tolvar
