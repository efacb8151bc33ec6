#pragma once

// The transport the program uses: the system's download library (URLMON),
// or the internet layer beneath it when the user names a proxy.

#include <string>

#include "updates/database_transport.h"
#include "updates/proxy_download_win.h"
#include "updates/url_download_win.h"

namespace tolvar {

class SystemTransport final : public DatabaseTransport {
public:
    SystemTransport() = default;
    SystemTransport(const SystemTransport&) = delete;
    SystemTransport& operator=(const SystemTransport&) = delete;

    // Enters COM on the calling thread for the transfer's length.
    TransferOutcome Fetch(const std::string& url, const std::string& file,
                          const ProxySettings& proxy, const ProgressFn& progress) override;
};

}  // namespace tolvar
