#pragma once

// How a scan ended, told from the scanner's exit code. clamscan ends with 0
// when it found nothing, 1 when it found something and 2 when it could not
// do all it was asked; any other code is a crash or a start that never
// happened (Windows reports a missing DLL as 0xC0000135), and no report
// written before it makes that scan a finished one.
//
// Exit code 2 needs a closer look: clamscan also ends with it when single
// files could not be opened, which on Windows is every whole-drive scan (the
// page file and the registry hives are always in use). A scan that did its
// work and only missed such files is a finished scan that says so; one that
// scanned nothing (no database, a bad option) failed.

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

struct ScannerEnding {
    bool failed = false;
    // Why it failed, in words for the user; empty when it did not.
    std::string reason;
    // Finished, but some items could not be read.
    bool itemsUnread = false;
};

// scannerFolder is where clamscan.exe and its DLLs belong; lastErrorLine is
// the scanner's last "ERROR:" line, if it wrote one; scannedSomething tells
// whether the report counted any item or detection.
ScannerEnding JudgeScannerExit(std::uint32_t exitCode, std::string_view lastErrorLine,
                               std::string_view scannerFolder, bool scannedSomething);

// What the user is told when there is no scanner to start.
std::string MissingScannerReason(std::string_view scannerFolder);

// What a first start without the scanner tells the user: where ClamAV for
// Windows comes from and which of its files go into scannerFolder.
std::string ScannerNeededNotice(std::string_view scannerFolder);

// What the user is told when the computer has no fixed drive to scan.
std::string NoFixedDriveReason();

// What the user is told when databaseFolder holds no signature database the
// scanner could load (none downloaded yet, or only broken ones).
std::string NoDatabaseReason(std::string_view databaseFolder);

}  // namespace tolvar
