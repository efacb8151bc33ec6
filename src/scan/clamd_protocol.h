#pragma once

// The words ClamAV's daemon clamd speaks over its socket: the commands the
// program sends, the replies it reads and the addresses it connects to.
// Commands go in the "z" form, ended by a zero byte, as do their replies;
// inside a session ("zIDSESSION") every reply starts with the number of the
// command it answers, and replies arrive in any order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar {

// Where a clamd listens.
struct ClamdAddress {
    std::string host;  // a name or an IPv4/IPv6 address, without brackets
    std::uint16_t port = 0;

    bool operator==(const ClamdAddress&) const = default;
};

// "HOST:PORT", with an IPv6 address in brackets ("[::1]:3310"); surrounding
// blanks are ignored. Nothing for anything else, a port of 0 included.
std::optional<ClamdAddress> ParseClamdAddress(std::string_view text);
// The address as ParseClamdAddress reads it back.
std::string ClamdAddressText(const ClamdAddress& address);
// Whether a clamd at this host runs on this computer and can open its
// paths: 127.0.0.1 (any 127.x.x.x), localhost and ::1. A clamd anywhere else
// is sent the files' contents instead.
bool IsLocalHost(std::string_view host);

// A command as sent: "z", the command, a blank and the argument when there
// is one, and the closing zero byte.
std::string ClamdCommand(std::string_view command, std::string_view argument = {});
// The length before each chunk of a zINSTREAM: four bytes, big-endian. A
// zero length ends the stream.
std::array<char, 4> InstreamChunkLength(std::uint32_t length);

// Calls reply(text) for every complete reply in pending (each ends with a
// zero byte, which is left out) and removes it; an unfinished one stays.
template <typename ReplyFn>
void ForEachClamdReply(std::string& pending, ReplyFn&& reply) {
    std::size_t consumed = 0;
    for (std::size_t end; (end = pending.find('\0', consumed)) != std::string::npos;) {
        reply(std::string_view(pending).substr(consumed, end - consumed));
        consumed = end + 1;
    }
    pending.erase(0, consumed);
}

enum class ClamdVerdict {
    Clean,     // "<path>: OK"
    Found,     // "<path>: <signature> FOUND"
    Error,     // "<path>: <message> ERROR", or a reply clamd gives without a path
    Empty,     // "<path>: Empty file", which an OK for the same file follows
    Excluded,  // "<path>: Excluded": the path matched the daemon's ExcludePath
    Other,     // anything else (PONG, a version, RELOADING)
};

struct ClamdReply {
    // The command's number inside a session; nothing outside one.
    std::optional<std::uint32_t> id;
    ClamdVerdict verdict = ClamdVerdict::Other;
    // The path the reply names: the path sent for an OK, the path clamd
    // finally reached for FOUND and ERROR ("stream" for zINSTREAM). Empty
    // when the reply names none.
    std::string path;
    // The signature's name for Found, the message for Error; otherwise the
    // text after the number.
    std::string detail;
};

// Reads one reply, its zero byte removed.
ClamdReply ParseClamdReply(std::string_view text);

// What "zVERSION" answers: "ClamAV 1.4.6/27460/Tue Dec  8 09:27:02 2026",
// or "ClamAV 1.4.6" before any database.
struct ClamdVersion {
    std::string engine;                     // "1.4.6"
    std::optional<std::uint32_t> database;  // 27460
};
std::optional<ClamdVersion> ParseClamdVersion(std::string_view reply);

}  // namespace tolvar
