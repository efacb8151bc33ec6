#include "updates/system_transport_win.h"

#include <windows.h>

#include "core/com_apartment_win.h"

namespace tolvar {

namespace {

// Loaded by the first transfer that needs them, not at start-up, and kept
// for the process's life: the libraries stay mapped anyway (see
// UrlmonLibrary), a run that never downloads never loads them, and a
// transfer left behind at the end (update_runs_win.h) still calls them
// after the transport is gone.
const UrlmonLibrary& Urlmon() {
    static const UrlmonLibrary library;
    return library;
}

const WininetLibrary& Wininet() {
    static const WininetLibrary library;
    return library;
}

}  // namespace

TransferOutcome SystemTransport::Fetch(const std::string& url, const std::string& file,
                                       const ProxySettings& proxy, const ProgressFn& progress) {
    // A worker has not entered COM yet; the UI thread already has.
    const ComApartment apartment;
    if (proxy.use && !proxy.server.empty()) {
        return DownloadThroughProxy(Wininet(), url, file, proxy, progress);
    }
    return DownloadToFile(Urlmon(), url, file, progress);
}

}  // namespace tolvar
