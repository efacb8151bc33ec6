#include "updates/download_outcome.h"

#include <cctype>
#include <cstdio>

#include "core/ascii_text.h"

namespace tolvar {

namespace {

constexpr long kOk = 0;

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string RetryText(const std::string& retryAfter) {
    if (retryAfter.empty()) return "try again later";
    if (!AllDigits(retryAfter)) return "try again after " + retryAfter;
    const long seconds = std::stol(retryAfter);
    if (seconds < 120) return "try again in " + std::to_string(seconds) + " seconds";
    if (seconds < 7200) return "try again in " + std::to_string((seconds + 59) / 60) + " minutes";
    return "try again in " + std::to_string((seconds + 3599) / 3600) + " hours";
}

std::string StatusWords(int status) {
    switch (status) {
        case 400:
            return "the mirror did not understand the request";
        case 401:
            return "the mirror asks for a login";
        case 404:
            return "the mirror has no such file";
        case 407:
            return "the proxy server refused the user name or password";
        case 410:
            return "the file is gone from the mirror";
        case 500:
            return "the mirror had an internal error";
        case 502:
        case 504:
            return "a gateway on the way to the mirror failed";
        case 503:
            return "the mirror is not available at the moment";
        default:
            return "the mirror answered with an error";
    }
}

// The transfer errors of the system's download library, by their codes.
std::string TransferErrorWords(long result) {
    switch (static_cast<unsigned long>(result)) {
        case 0x800C0002UL:
            return "the mirror's address is not valid";
        case 0x800C0004UL:
            return "no connection to the mirror could be made";
        case 0x800C0005UL:
            return "the mirror could not be found";
        case 0x800C0007UL:
        case 0x800C0008UL:
            return "the transfer broke off";
        case 0x800C000BUL:
            return "the connection timed out";
        case 0x80004004UL:
            return "the transfer was stopped";
        case 0x8007000EUL:
            return "the computer ran out of memory";
        case 0x80070070UL:
            return "the disk is full";
        default:
            return "the transfer failed";
    }
}

std::string Hex(long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

bool CutShort(const TransferOutcome& outcome) {
    return outcome.fileSize != outcome.announcedBytes;
}

}  // namespace

bool IsGoodDownload(const TransferOutcome& outcome) {
    // Without a length from the mirror, a connection that broke off looks
    // like the end of the file.
    return outcome.facilityLoaded && outcome.result == kOk && outcome.httpStatus == 200 &&
           outcome.fileExists && outcome.announcedBytes > 0 && !CutShort(outcome) &&
           outcome.isDatabase && outcome.bodyMatches;
}

std::string FailureReason(const TransferOutcome& outcome) {
    const std::string prefix = "Reason: ";
    if (!outcome.facilityLoaded) {
        return prefix + "the system's download library (" + outcome.facility +
               ") could not be loaded.";
    }
    const int status = outcome.httpStatus;
    if (status == 403) {
        return prefix +
               "the mirror refused the download (HTTP 403). The official mirror serves only "
               "ClamAV's own updater: set a mirror you may use.";
    }
    if (status == 429) {
        return prefix + "too many requests to the mirror (HTTP 429); " +
               RetryText(outcome.retryAfter) + ".";
    }
    if (status != 0 && status != 200) {
        return prefix + StatusWords(status) + " (HTTP " + std::to_string(status) + ").";
    }
    if (outcome.result != kOk) {
        return prefix + TransferErrorWords(outcome.result) + " (error " + Hex(outcome.result) +
               ").";
    }
    if (status == 0) return prefix + "the mirror sent no answer.";
    if (!outcome.fileExists) return prefix + "the downloaded file could not be saved.";
    if (outcome.announcedBytes == 0) {
        return prefix +
               "the mirror did not say how long the file is, so a cut transfer could not be "
               "told from a whole one.";
    }
    if (CutShort(outcome)) {
        return prefix + "the transfer was cut short (" + std::to_string(outcome.fileSize) + " of " +
               std::to_string(outcome.announcedBytes) + " bytes).";
    }
    if (!outcome.isDatabase) return prefix + "the file received is not a signature database.";
    if (!outcome.bodyMatches) {
        return prefix + "the file received is damaged (its checksum does not match its header).";
    }
    return prefix + "unknown.";
}

std::string HeaderValue(const std::string& headers, const std::string& name) {
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string::npos) end = headers.size();
        const std::string line = headers.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && EqualIgnoringCase(Trim(line.substr(0, colon)), name)) {
            return std::string(Trim(line.substr(colon + 1)));
        }
        start = end + 1;
    }
    return "";
}

}  // namespace tolvar
