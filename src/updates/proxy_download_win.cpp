#include "updates/proxy_download_win.h"

#include <string>
#include <utility>

#include "core/handles_win.h"
#include "core/system_library_win.h"
#include "updates/mirror_address.h"

namespace tolvar {

namespace {

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
    // Through a plain function pointer type, which a FARPROC may become
    // without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A session, connection or request of the internet layer, closed through
// the library it came from.
class InternetHandle {
public:
    InternetHandle(const WininetLibrary& library, HINTERNET handle)
        : library_(library), handle_(handle) {}
    ~InternetHandle() {
        if (handle_) library_.close(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }

private:
    const WininetLibrary& library_;
    HINTERNET handle_;
};

long LastErrorResult() {
    return static_cast<long>(HRESULT_FROM_WIN32(GetLastError()));
}

DWORD QueryNumber(const WininetLibrary& library, HINTERNET request, DWORD what) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!library.queryInfo(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
        return 0;
    }
    return value;
}

std::string QueryText(const WininetLibrary& library, HINTERNET request, DWORD what) {
    char text[256] = "";
    DWORD size = sizeof text;
    if (!library.queryInfo(request, what, text, &size, nullptr)) return "";
    return std::string(text, size);
}

}  // namespace

WininetLibrary::WininetLibrary() : module_(LoadSystemLibrary("wininet.dll")) {
    if (!module_) return;
    open = Find<OpenFn>(module_, "InternetOpenA");
    openUrl = Find<OpenUrlFn>(module_, "InternetOpenUrlA");
    queryInfo = Find<QueryInfoFn>(module_, "HttpQueryInfoA");
    read = Find<ReadFn>(module_, "InternetReadFile");
    close = Find<CloseFn>(module_, "InternetCloseHandle");
    loaded_ = open && openUrl && queryInfo && read && close;
}

TransferOutcome DownloadThroughProxy(const WininetLibrary& library, const std::string& url,
                                     const std::string& file, const ProxySettings& proxy,
                                     const ProgressFn& progress) {
    TransferOutcome outcome;
    outcome.facility = "WININET";
    if (!library.loaded()) {
        outcome.facilityLoaded = false;
        return outcome;
    }
    const std::string address = proxy.port.empty() ? proxy.server : proxy.server + ":" + proxy.port;
    InternetHandle session(library, library.open("Tolvar AntiVirus", INTERNET_OPEN_TYPE_PROXY,
                                                 address.c_str(), "", 0));
    if (!session.get()) {
        outcome.result = LastErrorResult();
        return outcome;
    }
    std::string headers;
    if (!proxy.user.empty()) {
        headers = "Proxy-Authorization: " + BasicCredentials(proxy.user, proxy.password) + "\r\n";
    }
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
    InternetHandle request(library, library.openUrl(session.get(), url.c_str(),
                                                    headers.empty() ? nullptr : headers.c_str(),
                                                    static_cast<DWORD>(headers.size()), flags, 0));
    if (!request.get()) {
        outcome.result = LastErrorResult();
        return outcome;
    }
    outcome.httpStatus =
        static_cast<int>(QueryNumber(library, request.get(), HTTP_QUERY_STATUS_CODE));
    outcome.retryAfter = QueryText(library, request.get(), HTTP_QUERY_RETRY_AFTER);
    outcome.announcedBytes = QueryNumber(library, request.get(), HTTP_QUERY_CONTENT_LENGTH);

    UniqueHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        outcome.result = LastErrorResult();
        return outcome;
    }
    const auto expected = static_cast<unsigned long>(outcome.announcedBytes);
    unsigned long done = 0;
    if (!progress(0, expected)) {
        outcome.result = E_ABORT;
        return outcome;
    }
    char buffer[16384];
    for (;;) {
        DWORD read = 0;
        if (!library.read(request.get(), buffer, sizeof buffer, &read)) {
            outcome.result = LastErrorResult();
            return outcome;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer, read, &written, nullptr) || written != read) {
            outcome.result = LastErrorResult();
            return outcome;
        }
        done += read;
        if (!progress(done, expected)) {
            outcome.result = E_ABORT;
            return outcome;
        }
    }
    return outcome;
}

}  // namespace tolvar
