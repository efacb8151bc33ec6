#include "updates/system_transport_win.h"

#include <windows.h>

#include "core/com_apartment_win.h"

namespace tolvar {

const UrlmonLibrary& SystemTransport::Library() {
    std::call_once(loadOnce_, [this] { urlmon_.emplace(); });
    return *urlmon_;
}

TransferOutcome SystemTransport::Fetch(const std::string& url, const std::string& file,
                                       const ProxySettings& proxy, const ProgressFn& progress) {
    // A worker has not entered COM yet; the UI thread already has.
    const ComApartment apartment;
    return DownloadToFile(Library(), url, file, proxy, progress);
}

}  // namespace tolvar
