#include "updates/system_transport_win.h"

#include <windows.h>

#include <objbase.h>

namespace tolvar {

namespace {

// The download library needs COM on the thread that calls it; a worker has
// not entered it yet, and the UI thread already has (then this only counts).
class ThreadApartment {
public:
    ThreadApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ThreadApartment() {
        if (ok_) CoUninitialize();
    }
    ThreadApartment(const ThreadApartment&) = delete;
    ThreadApartment& operator=(const ThreadApartment&) = delete;

private:
    bool ok_;
};

}  // namespace

const UrlmonLibrary& SystemTransport::Library() {
    std::call_once(loadOnce_, [this] { urlmon_.emplace(); });
    return *urlmon_;
}

TransferOutcome SystemTransport::Fetch(const std::string& url, const std::string& file,
                                       const ProxySettings& proxy, const ProgressFn& progress) {
    ThreadApartment apartment;
    return DownloadToFile(Library(), url, file, proxy, progress);
}

}  // namespace tolvar
