#pragma once

// Owners of the GDI objects, device contexts, windows and menus the UI
// toolkit makes. Owning types are move-only and release exactly once;
// the scoped ones (a selection, a saved state, a paint) undo themselves when
// their scope ends.

#include <windows.h>

#include "core/handles_win.h"

namespace tolvar {

namespace handle_traits {

inline void DeleteGdiObject(HGDIOBJ h) {
    DeleteObject(h);
}
inline void DestroyOwnWindow(HWND h) {
    // The system may have destroyed it already, with its parent.
    if (IsWindow(h)) DestroyWindow(h);
}
inline void DestroyOwnMenu(HMENU h) {
    DestroyMenu(h);
}
inline void DeleteMemoryDC(HDC h) {
    DeleteDC(h);
}

template <typename T>
using Gdi = NullIsNone<T, &DeleteGdiObject>;

}  // namespace handle_traits

// A GDI object (bitmap, font, brush, pen, region) made by the program.
template <typename T>
using GdiObject = UniqueResource<handle_traits::Gdi<T>>;
using UniqueBitmap = GdiObject<HBITMAP>;
using UniqueFont = GdiObject<HFONT>;
using UniqueBrush = GdiObject<HBRUSH>;
using UniquePen = GdiObject<HPEN>;
using UniqueRegion = GdiObject<HRGN>;

// A window the program made and destroys with its owner object.
using UniqueWindow = UniqueResource<NullIsNone<HWND, &handle_traits::DestroyOwnWindow>>;

// A popup menu handle.
class UniqueMenu {
public:
    UniqueMenu() : menu_(CreatePopupMenu()) {}
    HMENU get() const { return menu_.get(); }

private:
    UniqueResource<NullIsNone<HMENU, &handle_traits::DestroyOwnMenu>> menu_;
};

// A memory device context compatible with the screen.
class MemoryDC {
public:
    MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    HDC get() const { return dc_.get(); }

private:
    UniqueResource<NullIsNone<HDC, &handle_traits::DeleteMemoryDC>> dc_;
};

// The screen's device context, borrowed for one scope (GetDC/ReleaseDC).
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// Selects an object into a device context for one scope; the previous object
// comes back before the scope ends, so nothing is deleted while selected.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~ScopedSelect() { SelectObject(dc_, old_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Saves a device context's state (origin, clip, selections) for one scope.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
    ~SavedDC() { RestoreDC(dc_, id_); }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_;
    int id_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintScope() { EndPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }
    const RECT& area() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

}  // namespace tolvar
