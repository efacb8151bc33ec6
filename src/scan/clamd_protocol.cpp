#include "scan/clamd_protocol.h"

#include <charconv>

namespace tolvar {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::optional<ClamdAddress> ParseClamdAddress(std::string_view text) {
    text = Trimmed(text);
    std::string_view host;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        // An IPv6 address needs its brackets, or its last group would be
        // read as the port.
        if (host.find(':') != std::string_view::npos) return std::nullopt;
    }
    if (host.empty()) return std::nullopt;
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' ||
                             c == '_' || c == '%';
        if (!allowed) return std::nullopt;
    }
    const std::optional<std::uint16_t> number = ParseNumber<std::uint16_t>(port);
    if (!number || *number == 0) return std::nullopt;
    return ClamdAddress{std::string(host), *number};
}

std::string ClamdAddressText(const ClamdAddress& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

bool IsLocalHost(std::string_view host) {
    std::string lower(host);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "localhost" || lower == "::1") return true;
    // Every 127.x.x.x is this computer's loopback.
    if (lower.rfind("127.", 0) != 0) return false;
    int dots = 0;
    for (const char c : lower) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return dots == 3;
}

std::string ClamdCommand(std::string_view command, std::string_view argument) {
    std::string text = "z";
    text += command;
    if (!argument.empty()) {
        text += ' ';
        text += argument;
    }
    text += '\0';
    return text;
}

std::array<char, 4> InstreamChunkLength(std::uint32_t length) {
    return {static_cast<char>((length >> 24) & 0xFF), static_cast<char>((length >> 16) & 0xFF),
            static_cast<char>((length >> 8) & 0xFF), static_cast<char>(length & 0xFF)};
}

ClamdReply ParseClamdReply(std::string_view text) {
    ClamdReply reply;
    text = Trimmed(text);
    const std::size_t idEnd = text.find(": ");
    if (idEnd != std::string_view::npos) {
        if (const auto id = ParseNumber<std::uint32_t>(text.substr(0, idEnd))) {
            reply.id = *id;
            text.remove_prefix(idEnd + 2);
        }
    }
    const auto pathBefore = [&](std::size_t verdictLength) {
        return std::string(text.substr(0, text.size() - verdictLength));
    };
    if (EndsWith(text, ": OK")) {
        reply.verdict = ClamdVerdict::Clean;
        reply.path = pathBefore(4);
    } else if (EndsWith(text, ": Empty file")) {
        reply.verdict = ClamdVerdict::Empty;
        reply.path = pathBefore(12);
    } else if (EndsWith(text, ": Excluded")) {
        reply.verdict = ClamdVerdict::Excluded;
        reply.path = pathBefore(10);
    } else if (EndsWith(text, " FOUND")) {
        // A signature's name holds no ": "; a path may.
        const std::string_view rest = text.substr(0, text.size() - 6);
        const std::size_t split = rest.rfind(": ");
        reply.verdict = ClamdVerdict::Found;
        if (split == std::string_view::npos) {
            reply.detail = std::string(rest);
        } else {
            reply.path = std::string(rest.substr(0, split));
            reply.detail = std::string(rest.substr(split + 2));
        }
    } else if (EndsWith(text, " ERROR")) {
        // The message may hold ": " ("File path check failure: ..."); a
        // drive's colon is never followed by a blank.
        const std::string_view rest = text.substr(0, text.size() - 6);
        const std::size_t split = rest.find(": ");
        reply.verdict = ClamdVerdict::Error;
        if (split == std::string_view::npos) {
            reply.detail = std::string(rest);
        } else {
            reply.path = std::string(rest.substr(0, split));
            reply.detail = std::string(rest.substr(split + 2));
        }
    } else {
        reply.detail = std::string(text);
    }
    return reply;
}

std::optional<ClamdVersion> ParseClamdVersion(std::string_view reply) {
    reply = Trimmed(reply);
    constexpr std::string_view kPrefix = "ClamAV ";
    if (reply.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    reply.remove_prefix(kPrefix.size());
    ClamdVersion version;
    const std::size_t slash = reply.find('/');
    version.engine = std::string(Trimmed(reply.substr(0, slash)));
    if (version.engine.empty()) return std::nullopt;
    if (slash != std::string_view::npos) {
        std::string_view rest = reply.substr(slash + 1);
        version.database = ParseNumber<std::uint32_t>(rest.substr(0, rest.find('/')));
    }
    return version;
}

}  // namespace tolvar
