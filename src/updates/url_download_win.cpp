#include "updates/url_download_win.h"

#include <objbase.h>
#include <servprov.h>
#include <urlmon.h>

#include <exception>
#include <string>

#include "core/system_library_win.h"
#include "updates/proxy_download_win.h"

namespace tolvar {

namespace {

std::string Narrow(LPCWSTR text) {
    if (!text) return "";
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return "";
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

// The status callback of one transfer. It lives on the worker's stack for
// the length of the download call, so its reference count never frees it.
// An exception unwinding through the library's frames would leave it in an
// unknown state (or end the program), so every method that runs our code
// catches: the error is kept, the transfer is aborted, and the caller throws
// it again once the library has returned.
class TransferCallback : public IBindStatusCallback,
                         public IHttpNegotiate,
                         public IServiceProvider {
public:
    explicit TransferCallback(const ProgressFn& progress) : progress_(progress) {}

    TransferOutcome outcome;
    // What our code threw inside a call from the library.
    std::exception_ptr error;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback) {
            *object = static_cast<IBindStatusCallback*>(this);
        } else if (riid == IID_IHttpNegotiate) {
            *object = static_cast<IHttpNegotiate*>(this);
        } else if (riid == IID_IServiceProvider) {
            *object = static_cast<IServiceProvider*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&references_); }

    // IServiceProvider: the library asks for the negotiation interface this
    // way as well as directly.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID, REFIID riid, void** object) override {
        return QueryInterface(riid, object);
    }

    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG done, ULONG expected, ULONG, LPCWSTR) override {
        if (error) return E_ABORT;
        if (expected > outcome.announcedBytes) outcome.announcedBytes = expected;
        try {
            return progress_(done, expected) ? S_OK : E_ABORT;
        } catch (...) {
            error = std::current_exception();
            return E_ABORT;
        }
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
        // Always the mirror's current file, never a cached copy.
        *flags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE |
                 BINDF_RESYNCHRONIZE;
        if (info && info->cbSize >= sizeof(DWORD)) {
            const DWORD size = info->cbSize;
            ZeroMemory(info, size);
            info->cbSize = size;
            info->dwBindVerb = BINDVERB_GET;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                   LPWSTR* additional) override {
        if (!additional) return E_POINTER;
        *additional = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR,
                                         LPWSTR* additional) override {
        if (additional) *additional = nullptr;
        outcome.httpStatus = static_cast<int>(status);
        try {
            outcome.retryAfter = HeaderValue(Narrow(headers), "Retry-After");
        } catch (...) {
            error = std::current_exception();
            return E_ABORT;
        }
        return S_OK;
    }

private:
    const ProgressFn& progress_;
    LONG references_ = 1;
};

}  // namespace

UrlmonLibrary::UrlmonLibrary() : module_(LoadSystemLibrary("urlmon.dll")) {
    if (!module_) return;
    download_ = reinterpret_cast<DownloadFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "URLDownloadToFileA")));
}

HRESULT UrlmonLibrary::Download(const std::string& url, const std::string& file,
                                IBindStatusCallback* callback) const {
    if (!download_) return E_FAIL;
    return download_(nullptr, url.c_str(), file.c_str(), 0, callback);
}

TransferOutcome DownloadToFile(const UrlmonLibrary& library, const std::string& url,
                               const std::string& file, const ProxySettings& proxy,
                               const ProgressFn& progress) {
    TransferCallback callback(progress);
    if (!library.loaded()) {
        callback.outcome.facilityLoaded = false;
        return callback.outcome;
    }
    if (proxy.use && !proxy.server.empty()) return DownloadThroughProxy(url, file, proxy, progress);
    callback.outcome.result = library.Download(url, file, &callback);
    if (callback.error) std::rethrow_exception(callback.error);
    return callback.outcome;
}

}  // namespace tolvar
