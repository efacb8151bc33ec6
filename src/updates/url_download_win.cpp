#include "updates/url_download_win.h"

#include <objbase.h>

#include <exception>
#include <string>

#include "core/system_library_win.h"
#include "core/wide_text_win.h"

namespace tolvar {

TransferCallback::TransferCallback(const ProgressFn& progress) : progress_(progress) {}

HRESULT STDMETHODCALLTYPE TransferCallback::QueryInterface(REFIID riid, void** object) {
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

ULONG STDMETHODCALLTYPE TransferCallback::AddRef() {
    return InterlockedIncrement(&references_);
}

ULONG STDMETHODCALLTYPE TransferCallback::Release() {
    return InterlockedDecrement(&references_);
}

HRESULT STDMETHODCALLTYPE TransferCallback::QueryService(REFGUID, REFIID riid, void** object) {
    return QueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnStartBinding(DWORD, IBinding*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::GetPriority(LONG*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnLowResource(DWORD) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnProgress(ULONG done, ULONG expected, ULONG, LPCWSTR) {
    if (error) return E_ABORT;
    try {
        return progress_(done, expected) ? S_OK : E_ABORT;
    } catch (...) {
        error = std::current_exception();
        return E_ABORT;
    }
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnStopBinding(HRESULT, LPCWSTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::GetBindInfo(DWORD* flags, BINDINFO* info) {
    // Always the mirror's current file, never a cached copy.
    *flags =
        BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE | BINDF_RESYNCHRONIZE;
    if (info && info->cbSize >= sizeof(DWORD)) {
        const DWORD size = info->cbSize;
        ZeroMemory(info, size);
        info->cbSize = size;
        info->dwBindVerb = BINDVERB_GET;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnObjectAvailable(REFIID, IUnknown*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                                 LPWSTR* additional) {
    if (!additional) return E_POINTER;
    *additional = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TransferCallback::OnResponse(DWORD status, LPCWSTR headers, LPCWSTR,
                                                       LPWSTR* additional) {
    if (additional) *additional = nullptr;
    if (error) return E_ABORT;
    outcome.httpStatus = static_cast<int>(status);
    try {
        const std::string text = headers ? WideToUtf8(headers) : std::string();
        outcome.retryAfter = HeaderValue(text, "Retry-After");
        // The length as the mirror announced it. The progress reports are
        // no witness: without a Content-Length the library reports what has
        // come so far as the whole, also when the connection broke off.
        const std::string length = HeaderValue(text, "Content-Length");
        if (!length.empty() && length.size() <= 18 &&
            length.find_first_not_of("0123456789") == std::string::npos) {
            outcome.announcedBytes = std::stoull(length);
        }
    } catch (...) {
        error = std::current_exception();
        return E_ABORT;
    }
    return S_OK;
}

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
                               const std::string& file, const ProgressFn& progress) {
    TransferCallback callback(progress);
    if (!library.loaded()) {
        callback.outcome.facilityLoaded = false;
        return callback.outcome;
    }
    callback.outcome.result = library.Download(url, file, &callback);
    if (callback.error) std::rethrow_exception(callback.error);
    return callback.outcome;
}

}  // namespace tolvar
