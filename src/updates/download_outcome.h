#pragma once

// What a database transfer came to, and the words the failure notice uses
// for it. Only a transfer that the mirror answered with 200, that announced
// its length and delivered exactly that many bytes, and whose file is a
// signature database with the body its header's checksum names is an
// update; anything else is a failure with a reason.

#include <cstdint>
#include <string>

namespace tolvar {

struct TransferOutcome {
    bool facilityLoaded = true;        // the system's download library was found
    std::string facility = "URLMON";   // which library, for the reason
    long result = 0;                   // the download call's HRESULT
    int httpStatus = 0;                // 0 when the mirror never answered
    std::string retryAfter;            // the Retry-After header of the answer
    std::uint64_t announcedBytes = 0;  // Content-Length; 0 when the mirror did not say
    bool fileExists = false;
    std::uint64_t fileSize = 0;
    bool isDatabase = false;   // the file's header checked out
    bool bodyMatches = false;  // the body's MD5 is the one its header gives
};

bool IsGoodDownload(const TransferOutcome& outcome);

// One line for the failure notice, starting "Reason: ".
std::string FailureReason(const TransferOutcome& outcome);

// The value of one header in a block of "Name: value" lines (CRLF or LF),
// matched without regard to case; "" when absent.
std::string HeaderValue(const std::string& headers, const std::string& name);

}  // namespace tolvar
