#pragma once

// COM entered on the calling thread for one scope: the shell's folder picker
// and the system's download library need it on the thread that calls them.
// A thread that has entered COM already only counts once more.

#include <windows.h>

#include <objbase.h>

namespace tolvar {

class ComApartment {
public:
    ComApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (entered_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool entered_;
};

}  // namespace tolvar
