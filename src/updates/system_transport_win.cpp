#include "updates/system_transport_win.h"

#include <windows.h>

#include "core/com_apartment_win.h"

namespace tolvar {

const UrlmonLibrary& SystemTransport::Urlmon() {
    std::call_once(urlmonOnce_, [this] { urlmon_.emplace(); });
    return *urlmon_;
}

const WininetLibrary& SystemTransport::Wininet() {
    std::call_once(wininetOnce_, [this] { wininet_.emplace(); });
    return *wininet_;
}

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
