#pragma once

// Which engine a scan runs on, decided when the scan begins: ClamAV's
// command-line scanner clamscan, started for this scan alone, or a clamd
// that has its signatures loaded already.

#include <optional>
#include <string>

#include "scan/clamd_protocol.h"

namespace tolvar {

struct ScanEngineChoice {
    // Where the clamd listens; nothing for clamscan.
    std::optional<ClamdAddress> clamd;
    // The engine in words, for the status line and the record of which
    // engine scanned: "clamscan", "ClamAV 1.4.6 daemon".
    std::string name = "clamscan";
};

}  // namespace tolvar
