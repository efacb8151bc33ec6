#pragma once

// What a database transfer came to, and the words the failure notice uses
// for it. Only a transfer that the mirror answered with 200, that delivered
// as many bytes as it announced, and whose file is a signature database is
// an update; anything else is a failure with a reason.

#include <cstdint>
#include <string>

namespace tolvar {

struct TransferOutcome {
    bool facilityLoaded = true;        // the system's download library was found
    long result = 0;                   // the download call's HRESULT
    int httpStatus = 0;                // 0 when the mirror never answered
    std::string retryAfter;            // the Retry-After header of the answer
    std::uint64_t announcedBytes = 0;  // 0 when the size was not announced
    bool fileExists = false;
    std::uint64_t fileSize = 0;
    bool isDatabase = false;  // the file's header checked out
};

bool IsGoodDownload(const TransferOutcome& outcome);

// One line for the failure notice, starting "Reason: ".
std::string FailureReason(const TransferOutcome& outcome);

// The value of one header in a block of "Name: value" lines (CRLF or LF),
// matched without regard to case; "" when absent.
std::string HeaderValue(const std::string& headers, const std::string& name);

}  // namespace tolvar
