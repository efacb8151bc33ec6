#pragma once

// A transfer through a named proxy server. The system's download library
// takes its proxy from the system's connection settings on some systems
// and ignores a proxy set for the process, so a transfer through the user's
// own proxy goes through the internet layer beneath it, which takes the
// proxy and its login per connection.

#include <string>

#include "updates/database_transport.h"

namespace tolvar {

TransferOutcome DownloadThroughProxy(const std::string& url, const std::string& file,
                                     const ProxySettings& proxy, const ProgressFn& progress);

}  // namespace tolvar
