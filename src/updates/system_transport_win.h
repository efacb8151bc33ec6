#pragma once

// The transport the program uses: the system's download library (URLMON),
// or the internet layer beneath it when the user names a proxy.

#include <mutex>
#include <optional>
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

private:
    const UrlmonLibrary& Urlmon();
    const WininetLibrary& Wininet();

    // Loaded by the first transfer that needs them, not at start-up, and
    // kept: the libraries stay mapped for the process's life anyway (see
    // UrlmonLibrary), and a run that never downloads never loads them.
    std::once_flag urlmonOnce_;
    std::optional<UrlmonLibrary> urlmon_;
    std::once_flag wininetOnce_;
    std::optional<WininetLibrary> wininet_;
};

}  // namespace tolvar
