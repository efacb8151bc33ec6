#pragma once

// How a scan ended, told from the scanner's exit code. clamscan ends with 0
// when it found nothing, 1 when it found something and 2 when it could not
// do all it was asked; any other code is a crash or a start that never
// happened (Windows reports a missing DLL as 0xC0000135), and no report
// written before it makes that scan a finished one.

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

struct ScannerEnding {
    bool failed = false;
    // Why it failed, in words for the user; empty when it did not.
    std::string reason;
};

// scannerFolder is where clamscan.exe and its DLLs belong; lastErrorLine is
// the scanner's last "ERROR:" line, if it wrote one.
ScannerEnding JudgeScannerExit(std::uint32_t exitCode, std::string_view lastErrorLine,
                               std::string_view scannerFolder);

// What the user is told when there is no scanner to start.
std::string MissingScannerReason(std::string_view scannerFolder);

// What the user is told when the computer has no fixed drive to scan.
std::string NoFixedDriveReason();

}  // namespace tolvar
