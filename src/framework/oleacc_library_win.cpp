#include "framework/oleacc_library_win.h"

#include "core/system_library_win.h"

namespace tolvar {

namespace {

template <typename Fn>
Fn Function(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

OleaccLibrary::OleaccLibrary() : module_(LoadSystemLibrary("oleacc.dll")) {
    if (!module_) return;
    lresultFromObject_ = Function<LresultFromObjectFn>(module_.get(), "LresultFromObject");
    createStdAccessibleObject_ =
        Function<CreateStdAccessibleObjectFn>(module_.get(), "CreateStdAccessibleObject");
}

LRESULT OleaccLibrary::Answer(WPARAM wp, IAccessible* object) const {
    if (!lresultFromObject_ || !object) return 0;
    const LRESULT answer = lresultFromObject_(__uuidof(IAccessible), wp, object);
    // A failure comes as a negative HRESULT, which must not pass for an
    // object: the client then gets the window's default answer.
    return answer < 0 ? 0 : answer;
}

Microsoft::WRL::ComPtr<IAccessible> OleaccLibrary::StandardObject(HWND window,
                                                                  LONG objectId) const {
    Microsoft::WRL::ComPtr<IAccessible> object;
    if (!createStdAccessibleObject_) return object;
    if (FAILED(createStdAccessibleObject_(window, objectId, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(object.GetAddressOf())))) {
        object.Reset();
    }
    return object;
}

}  // namespace tolvar
