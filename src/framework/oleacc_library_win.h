#pragma once

// The system's accessibility library (oleacc.dll), loaded from the system
// folder only, the first time a client asks: what answers WM_GETOBJECT with
// an object, and the system's own objects of standard windows. Without the
// library the program simply has no accessibility tree.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include "core/handles_win.h"

namespace tolvar {

class OleaccLibrary {
public:
    OleaccLibrary();
    OleaccLibrary(const OleaccLibrary&) = delete;
    OleaccLibrary& operator=(const OleaccLibrary&) = delete;

    bool loaded() const { return lresultFromObject_ != nullptr; }
    // The answer to WM_GETOBJECT (its wParam) that hands object to the
    // client; 0 when it cannot be given.
    LRESULT Answer(WPARAM wp, IAccessible* object) const;
    // The system's object of a standard window (OBJID_CLIENT or
    // OBJID_WINDOW); null when it has none.
    Microsoft::WRL::ComPtr<IAccessible> StandardObject(HWND window, LONG objectId) const;

private:
    using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

    UniqueModule module_;
    LresultFromObjectFn lresultFromObject_ = nullptr;
    CreateStdAccessibleObjectFn createStdAccessibleObject_ = nullptr;
};

}  // namespace tolvar
