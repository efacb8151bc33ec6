#include "scan/scanner_exit.h"

#include <cstdio>

namespace tolvar {

namespace {

constexpr std::uint32_t kFoundNothing = 0;
constexpr std::uint32_t kFoundSomething = 1;
constexpr std::uint32_t kCouldNotDoAll = 2;
constexpr std::uint32_t kDllNotFound = 0xC0000135;
constexpr std::uint32_t kEntryPointNotFound = 0xC0000139;
constexpr std::uint32_t kDllInitFailed = 0xC0000142;
constexpr std::uint32_t kBadImage = 0xC000007B;
constexpr std::uint32_t kAccessViolation = 0xC0000005;
constexpr std::uint32_t kStackOverflow = 0xC00000FD;
constexpr std::uint32_t kControlCExit = 0xC000013A;
constexpr std::uint32_t kTerminated = 0xFFFFFFFF;

std::string Hex(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

// The scanner's "ERROR: ..." line without its tag.
std::string_view ScannerWords(std::string_view lastErrorLine) {
    constexpr std::string_view kTag = "ERROR:";
    if (lastErrorLine.substr(0, kTag.size()) == kTag) lastErrorLine.remove_prefix(kTag.size());
    while (!lastErrorLine.empty() && lastErrorLine.front() == ' ')
        lastErrorLine.remove_prefix(1);
    return lastErrorLine;
}

// The scanner's own words, when it gave any, after ours.
std::string WithScannerWords(std::string reason, std::string_view lastErrorLine) {
    const std::string_view words = ScannerWords(lastErrorLine);
    if (!words.empty()) {
        reason += " It said: ";
        reason += words;
    }
    return reason;
}

}  // namespace

ScannerEnding JudgeScannerExit(std::uint32_t exitCode, std::string_view lastErrorLine,
                               std::string_view scannerFolder, bool scannedSomething) {
    const std::string folder(scannerFolder);
    switch (exitCode) {
        case kFoundNothing:
        case kFoundSomething:
            return {};
        case kCouldNotDoAll:
            if (scannedSomething) return {false, "", true};
            return {true, ScannerWords(lastErrorLine).empty()
                              ? std::string("The scanner reported an error and did not scan "
                                            "everything (exit code 2).")
                              : "The scanner reported an error: " +
                                    std::string(ScannerWords(lastErrorLine))};
        case kDllNotFound:
            return {true, "The scanner could not start: one of its DLLs is missing from " + folder};
        case kEntryPointNotFound:
        case kDllInitFailed:
            return {true, "The scanner could not start: one of its DLLs in " + folder +
                              " does not fit it (" + Hex(exitCode) + ")."};
        case kBadImage:
            return {true, "The scanner could not start: one of its DLLs in " + folder +
                              " is built for another kind of Windows (" + Hex(exitCode) + ")."};
        case kAccessViolation:
        case kStackOverflow:
            return {true, WithScannerWords(
                              "The scanner crashed (" + Hex(exitCode) + ") before the scan ended.",
                              lastErrorLine)};
        case kControlCExit:
        case kTerminated:
            return {true,
                    "The scanner was ended from outside before the scan was done (exit "
                    "code " +
                        Hex(exitCode) + ")."};
        default:
            if (exitCode >= 0xC0000000) {
                return {true, WithScannerWords("The scanner crashed (" + Hex(exitCode) +
                                                   ") before the scan ended.",
                                               lastErrorLine)};
            }
            return {true,
                    WithScannerWords("The scanner ended with exit code " +
                                         std::to_string(exitCode) + " before the scan was done.",
                                     lastErrorLine)};
    }
}

std::string MissingScannerReason(std::string_view scannerFolder) {
    return "The scanner clamscan.exe was not found. Put ClamAV's clamscan.exe and its DLLs into " +
           std::string(scannerFolder);
}

std::string ScannerNeededNotice(std::string_view scannerFolder) {
    return "Tolvar AntiVirus scans with ClamAV's scanner, which is not installed yet.\n\n"
           "Download ClamAV for Windows (the 64-bit .zip package) from "
           "https://www.clamav.net/downloads and copy clamscan.exe, freshclam.exe, all the "
           ".dll files and the certs folder from it into\n\n" +
           std::string(scannerFolder) +
           "\n\nThe next scan uses them, and the signature updates go through its "
           "freshclam.exe.";
}

std::string NoFixedDriveReason() {
    return "This computer has no fixed drive to scan, so no scan was started. Choose the folders "
           "to scan instead.";
}

std::string NoDatabaseReason(std::string_view databaseFolder) {
    return "No virus database was found in " + std::string(databaseFolder) +
           ", so no scan was started. Update the virus database (\"Check Now for updates\" on "
           "the Virus Database page) and scan again.";
}

}  // namespace tolvar
