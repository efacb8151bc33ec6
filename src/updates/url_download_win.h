#pragma once

// One blocking HTTP transfer into a file, with progress, cancellation and
// the mirror's status and headers: through the system's download library
// (URLMON), or through the user's proxy with its login. Runs on a worker
// thread.

#include <windows.h>

#include <urlmon.h>

#include <string>

#include "updates/database_transport.h"

namespace tolvar {

// URLMON.DLL, loaded from the system folder only: the program runs
// elevated, and a DLL of that name planted beside it or in the current
// folder must never be loaded.
class UrlmonLibrary {
public:
    UrlmonLibrary();
    bool loaded() const { return download_ != nullptr; }
    HMODULE module() const { return module_; }
    HRESULT Download(const std::string& url, const std::string& file,
                     IBindStatusCallback* callback) const;

private:
    // Never freed: the library's own threads and the internet layer's
    // callbacks can still run code of it after a cancelled transfer has
    // returned, and would crash the program if it were unloaded. It stays
    // for the process's life, as an imported library would.
    HMODULE module_ = nullptr;
    using DownloadFn = HRESULT(WINAPI*)(IUnknown*, const char*, const char*, DWORD,
                                        IBindStatusCallback*);
    DownloadFn download_ = nullptr;
};

// Fetches url into file, through the proxy when one is set (the system's
// connection settings apply otherwise). The outcome says whether the library
// was there, the call's result, the mirror's status and Retry-After, and the
// size it announced; the file's own fields are left for the caller to fill.
// An exception of the progress function never passes through the library:
// it stops the transfer and is thrown again here once the library has
// returned. The calling thread must have entered COM.
TransferOutcome DownloadToFile(const UrlmonLibrary& library, const std::string& url,
                               const std::string& file, const ProxySettings& proxy,
                               const ProgressFn& progress);

}  // namespace tolvar
