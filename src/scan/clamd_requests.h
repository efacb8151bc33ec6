#pragma once

// The requests of one scan through clamd: which file each number of a
// session stands for, which replies end a request, and what is still
// unanswered when a session ends before its time. Replies arrive in any
// order and a FOUND or ERROR reply names the path clamd finally reached, so
// a request is known by its number alone and its result names the path the
// program sent.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scan/clamd_protocol.h"

namespace tolvar {

struct ClamdFileResult {
    enum class Kind {
        Clean,     // an item scanned, as a report's OK line
        Found,     // a detection, as a report's FOUND line
        Unread,    // clamd or the program could not read the file
        Excluded,  // the daemon's ExcludePath covers it: neither counted nor missed
    };
    std::string path;  // as the program sent it
    Kind kind = Kind::Clean;
    std::string detail;  // the signature for Found, why for Unread
};

class ClamdRequestBook {
public:
    // A new session: its numbers start again at 1. The requests the ended
    // session left unanswered come back, oldest first, to be sent again.
    std::vector<std::string> NewSession();
    // Notes a request sent in this session; its number.
    std::uint32_t Sent(std::string path);
    // The result a reply brings: nothing for a reply that ends no request
    // (an "Empty file" that its OK follows, a number never sent or already
    // answered, a reply without a number).
    std::optional<ClamdFileResult> Answer(const ClamdReply& reply);
    // Ends a request without a reply (the stream could not be sent whole).
    std::optional<ClamdFileResult> Abandon(std::uint32_t id, std::string reason);

    std::size_t InFlight() const { return waiting_.size(); }

private:
    std::uint32_t next_ = 1;
    std::map<std::uint32_t, std::string> waiting_;
};

// How many requests a session keeps in flight: enough to keep every clamd
// thread busy (clamd starts as many as the computer has processors) while
// each request and its reply are on their way (a round trip costs more than
// a small file's scan, so a few per thread leave clamd idle), and well below
// its queue of 100, at which it stops reading.
std::size_t ClamdRequestsInFlight(unsigned processors);

}  // namespace tolvar
