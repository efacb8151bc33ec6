#include "protection/scan_request.h"

#include <cctype>

#include "core/ascii_text.h"
#include "core/utf8_text.h"

namespace tolvar {

namespace {

constexpr std::string_view kMessageHead = "Tolvar scan request 1\n";
constexpr std::string_view kReplyHead = "Taken ";
// The longest path Windows' wide calls take.
constexpr std::size_t kLongestPath = 32767;

// A name the system reads as a device in any folder, with any extension
// ("nul.txt" is the device too) and with blanks before the dot.
bool NamesDevice(std::string_view name) {
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualIgnoringCase(name, device)) return true;
    }
    if (name.size() == 4 && std::isdigit(static_cast<unsigned char>(name[3])) &&
        (EqualIgnoringCase(name.substr(0, 3), "COM") ||
         EqualIgnoringCase(name.substr(0, 3), "LPT"))) {
        return true;
    }
    // COM¹ to LPT³: the superscript digits are device names as well.
    for (std::string_view prefix : {"COM", "LPT"}) {
        for (std::string_view digit : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
            if (name.size() == 5 && EqualIgnoringCase(name.substr(0, 3), prefix) &&
                name.substr(3) == digit) {
                return true;
            }
        }
    }
    return false;
}

RequestedPath Refused(std::string_view path, const char* why) {
    return {std::string(path), why};
}

}  // namespace

std::string ScanRequestMessage(const std::vector<std::string>& paths) {
    std::string message(kMessageHead);
    for (const std::string& path : paths) {
        message += path;
        message += '\n';
    }
    return message;
}

std::optional<std::vector<std::string>> ReadScanRequestMessage(std::string_view message) {
    if (message.size() > kLongestScanRequest ||
        message.substr(0, kMessageHead.size()) != kMessageHead || !IsValidUtf8(message)) {
        return std::nullopt;
    }
    message.remove_prefix(kMessageHead.size());
    std::vector<std::string> paths;
    while (!message.empty()) {
        const std::size_t end = message.find('\n');
        const std::string_view line = message.substr(0, end);
        if (!line.empty()) paths.emplace_back(line);
        if (end == std::string_view::npos) break;
        message.remove_prefix(end + 1);
    }
    if (paths.empty()) return std::nullopt;
    return paths;
}

RequestedPath CheckRequestedPath(std::string_view given) {
    if (given.empty()) return Refused(given, "no path");
    if (given.size() > kLongestPath) return Refused(given, "the path is too long");
    if (!IsValidUtf8(given)) return Refused(given, "the path is not readable text");
    std::string path(given);
    for (char& c : path) {
        if (static_cast<unsigned char>(c) < 0x20)
            return Refused(given, "the path holds a control character");
        if (c == '/') c = '\\';
    }
    // The long form of a drive's or share's path is the path itself; any
    // other "\\?\" or "\\.\" path names a device or a volume by its object.
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        path = "\\\\" + path.substr(8);
    } else if (path.rfind("\\\\?\\", 0) == 0 && path.size() >= 7 &&
               std::isalpha(static_cast<unsigned char>(path[4])) && path[5] == ':' &&
               path[6] == '\\') {
        path = path.substr(4);
    }
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("\\\\?\\", 0) == 0 ||
        path.rfind("\\??\\", 0) == 0) {
        return Refused(given, "the path names a device");
    }

    std::string taken;
    std::string_view rest;
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\') {
        taken = path.substr(0, 3);
        taken[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(taken[0])));
        rest = std::string_view(path).substr(3);
    } else if (path.rfind("\\\\", 0) == 0) {
        // A share: its server and its name are both needed.
        std::string_view share = std::string_view(path).substr(2);
        const std::size_t serverEnd = share.find('\\');
        if (serverEnd == 0 || serverEnd == std::string_view::npos) {
            return Refused(given, "the path names no share");
        }
        const std::string_view server = share.substr(0, serverEnd);
        if (server == "." || server == "?") return Refused(given, "the path names a device");
        std::string_view name = share.substr(serverEnd + 1);
        const std::size_t nameEnd = name.find('\\');
        const std::string_view shareName = name.substr(0, nameEnd);
        if (shareName.empty()) return Refused(given, "the path names no share");
        taken = "\\\\" + std::string(server) + "\\" + std::string(shareName);
        rest = nameEnd == std::string_view::npos ? std::string_view() : name.substr(nameEnd + 1);
    } else {
        return Refused(given, "the path is not a full path");
    }

    while (!rest.empty()) {
        const std::size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (part.empty()) continue;  // "C:\a\\b" is "C:\a\b"
        if (part == "." || part == "..") return Refused(given, "the path is not a full path");
        if (part.find_first_of("<>:\"|?*") != std::string_view::npos) {
            return Refused(given, "the path holds a character no name may hold");
        }
        if (NamesDevice(part)) return Refused(given, "the path names a device");
        if (taken.back() != '\\') taken += '\\';
        taken += part;
    }
    return {taken, ""};
}

std::string ScanRequestReplyText(const ScanRequestReply& reply) {
    std::string text(kReplyHead);
    text += std::to_string(reply.taken);
    text += '\n';
    for (const RequestedPath& refused : reply.refused) {
        text += refused.path;
        text += '\t';
        text += refused.refusal;
        text += '\n';
    }
    return text;
}

std::optional<ScanRequestReply> ReadScanRequestReply(std::string_view text) {
    if (text.substr(0, kReplyHead.size()) != kReplyHead) return std::nullopt;
    text.remove_prefix(kReplyHead.size());
    ScanRequestReply reply;
    std::size_t at = 0;
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])))
        return std::nullopt;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at < 9) {
        reply.taken = reply.taken * 10 + static_cast<std::size_t>(text[at] - '0');
        ++at;
    }
    if (at >= text.size() || text[at] != '\n') return std::nullopt;
    text.remove_prefix(at + 1);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        const std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos) {
            reply.refused.push_back(
                {std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return reply;
}

}  // namespace tolvar
