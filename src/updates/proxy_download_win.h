#pragma once

// A transfer through a named proxy server. The system's download library
// takes its proxy from the system's connection settings on some systems
// and ignores a proxy set for the process, so a transfer through the user's
// own proxy goes through the internet layer beneath it (WININET), which
// takes the proxy and its login per connection.

#include <windows.h>

#include <wininet.h>

#include <string>

#include "updates/database_transport.h"

namespace tolvar {

// WININET.DLL, loaded from the system folder only and never imported by
// name: the program runs elevated, and a DLL of that name planted beside it
// or in the current folder must never be loaded. Never freed, for the same
// reason as the download library (url_download_win.h).
class WininetLibrary {
public:
    WininetLibrary();
    bool loaded() const { return loaded_; }
    HMODULE module() const { return module_; }

    using OpenFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
    using OpenUrlFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
    using QueryInfoFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
    using ReadFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
    using CloseFn = BOOL(WINAPI*)(HINTERNET);

    OpenFn open = nullptr;
    OpenUrlFn openUrl = nullptr;
    QueryInfoFn queryInfo = nullptr;
    ReadFn read = nullptr;
    CloseFn close = nullptr;

private:
    HMODULE module_ = nullptr;
    bool loaded_ = false;
};

TransferOutcome DownloadThroughProxy(const WininetLibrary& library, const std::string& url,
                                     const std::string& file, const ProxySettings& proxy,
                                     const ProgressFn& progress);

}  // namespace tolvar
