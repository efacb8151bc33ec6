#pragma once

// One blocking HTTP transfer into a file, with progress, cancellation and
// the mirror's status and headers, through the system's download library
// (URLMON). Runs on a worker thread.

#include <windows.h>

#include <servprov.h>
#include <urlmon.h>

#include <exception>
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

// The status callback of one transfer. It lives on the transferring
// thread's stack for the length of the download call, so its reference count
// never frees it. An exception unwinding through the library's frames would
// leave the library in an unknown state (or end the program), so every
// method that runs our code catches: the error is kept, the transfer is
// aborted, and DownloadToFile throws it again once the library has returned.
class TransferCallback : public IBindStatusCallback,
                         public IHttpNegotiate,
                         public IServiceProvider {
public:
    explicit TransferCallback(const ProgressFn& progress);
    TransferCallback(const TransferCallback&) = delete;
    TransferCallback& operator=(const TransferCallback&) = delete;

    TransferOutcome outcome;
    // What our code threw inside a call from the library; once set, every
    // further call answers "abort".
    std::exception_ptr error;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IServiceProvider: the library asks for the negotiation interface this
    // way as well as directly.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;

    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG done, ULONG expected, ULONG status,
                                         LPCWSTR text) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR text) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                              STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                                   LPWSTR* additional) override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR requestHeaders,
                                         LPWSTR* additional) override;

private:
    const ProgressFn& progress_;
    LONG references_ = 1;
};

// Fetches url into file, by the system's connection settings. The outcome
// says whether the library was there, the call's result, the mirror's status
// and Retry-After, and the length it announced; the file's own fields are
// left for the caller to fill.
// An exception of the progress function never passes through the library:
// it stops the transfer and is thrown again here once the library has
// returned. The calling thread must have entered COM.
TransferOutcome DownloadToFile(const UrlmonLibrary& library, const std::string& url,
                               const std::string& file, const ProgressFn& progress);

}  // namespace tolvar
