#include "clamd_bridge/clamd_protocol_win.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace tolvar::bridge {

namespace {

// Longer than any command clamd accepts: what runs on without a terminator
// is no command, and is passed on as it is for clamd to refuse.
constexpr std::size_t kLongestCommand = 64 * 1024;
// Likewise for a reply.
constexpr std::size_t kLongestReply = 1024 * 1024;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool CarriesPath(std::string_view name) {
    for (std::string_view scan : {"SCAN", "CONTSCAN", "MULTISCAN", "ALLMATCHSCAN"}) {
        if (name == scan) return true;
    }
    return false;
}

// The verdicts that are one word or a name: a reply ending so splits at
// its last ": " (a path may hold ": ", a signature name does not).
bool EndsWithPlainVerdict(std::string_view body) {
    return EndsWith(body, " FOUND") || EndsWith(body, ": OK") || EndsWith(body, ": Excluded") ||
           EndsWith(body, ": Empty file");
}

std::string WindowsOf(const WinePaths& wine, const std::string& linuxPath) {
    const std::optional<std::wstring> windows = wine.ToWindows(linuxPath);
    return windows ? Narrow(*windows, CP_UTF8) : linuxPath;
}

// Where the path of body ends (at a ": "), looking from `from` on; npos
// when there is no ": ". An ERROR's message may hold ": " itself (and the
// path too), so there the first cut that leaves an existing path counts.
std::size_t PathEnd(const WinePaths& wine, std::string_view body, std::size_t from) {
    const std::size_t first = body.find(": ", from);
    if (first == std::string_view::npos) return first;
    if (EndsWithPlainVerdict(body)) return body.rfind(": ");
    for (std::size_t at = first; at != std::string_view::npos; at = body.find(": ", at + 1)) {
        const std::optional<std::wstring> windows = wine.ToWindows(std::string(body.substr(0, at)));
        if (windows && Exists(*windows)) return at;
    }
    return first;
}

// A final reply to a path's command: no further reply of that number
// follows (a folder's own OK, or the path's verdict; "Empty file" comes
// before the file's OK).
bool Final(std::string_view verdict) {
    return verdict != ": Empty file";
}

}  // namespace

void SentCommands::Record(unsigned id, Sent sent) {
    std::lock_guard<std::mutex> hold(lock_);
    lastSent_ = sent.terminator;
    sent_[id] = std::move(sent);
}

char SentCommands::Terminator(std::optional<unsigned> id) {
    std::lock_guard<std::mutex> hold(lock_);
    if (id) {
        const auto found = sent_.find(*id);
        const char terminator = found != sent_.end() ? found->second.terminator : lastSent_;
        lastNumbered_ = terminator;
        return terminator;
    }
    // Outside a session the one command's; inside one the later lines of a
    // numbered reply in lines (STATS) end as its first did.
    const auto single = sent_.find(0);
    if (single != sent_.end()) return single->second.terminator;
    return lastNumbered_.value_or(lastSent_);
}

std::string SentCommands::WindowsReply(const WinePaths& wine, std::string_view reply,
                                       std::optional<unsigned> id) {
    std::string_view body = reply;
    std::string number;
    if (id) {
        const std::size_t colon = reply.find(": ");
        number = std::string(reply.substr(0, colon + 2));
        body.remove_prefix(colon + 2);
    }
    Sent sent;
    {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = sent_.find(id.value_or(0));
        if (found != sent_.end()) {
            sent = found->second;
            // A reply without a path is the only one its command gets.
            if (id && (body.empty() || body.front() != '/')) sent_.erase(found);
        }
    }
    if (body.empty() || body.front() != '/') return std::string(reply);
    const std::string& path = sent.linuxPath;
    if (!path.empty() && body.substr(0, path.size()) == path) {
        const std::string_view after = body.substr(path.size());
        if (after.substr(0, 2) == ": ") {
            if (id && Final(after)) {
                std::lock_guard<std::mutex> hold(lock_);
                sent_.erase(*id);
            }
            return number + sent.windowsPath + std::string(after);
        }
        if (after.substr(0, 1) == "/") {
            // Below a folder the program named: in the form it named it.
            const std::size_t end = PathEnd(wine, body, path.size());
            if (end != std::string_view::npos) {
                std::string folder = sent.windowsPath;
                while (!folder.empty() && folder.back() == '\\')
                    folder.pop_back();
                std::string below(body.substr(path.size(), end - path.size()));
                for (char& c : below) {
                    if (c == '/') c = '\\';
                }
                return number + folder + below + std::string(body.substr(end));
            }
        }
    }
    return number + WindowsBody(wine, body);
}

std::string WindowsBody(const WinePaths& wine, std::string_view body) {
    if (body.empty() || body.front() != '/') return std::string(body);
    const std::size_t end = PathEnd(wine, body, 0);
    if (end == std::string_view::npos) return std::string(body);
    return WindowsOf(wine, std::string(body.substr(0, end))) + std::string(body.substr(end));
}

std::string CommandStream::Translated(const std::string& command) {
    const char terminator = command.front() == 'z' ? '\0' : '\n';
    std::string text = command.substr(1);
    // clamd drops a line's own line ends.
    if (terminator == '\n') {
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
            text.pop_back();
    }
    const std::size_t blank = text.find(' ');
    const std::string name = text.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : text.substr(blank + 1);
    std::string out = command + terminator;
    if (name == "IDSESSION") {
        session_ = true;
        nextId_ = 1;
        return out;
    }
    if (name == "END") {
        session_ = false;
        return out;
    }
    const unsigned id = session_ ? nextId_++ : 0;
    SentCommands::Sent sent{terminator, "", ""};
    if (CarriesPath(name) && !argument.empty()) {
        if (std::optional<std::string> linuxPath = wine_.ToUnix(Widen(argument, CP_UTF8))) {
            sent.linuxPath = *linuxPath;
            sent.windowsPath = argument;
            out = command.substr(0, 1) + name + " " + *linuxPath + terminator;
        }
    }
    sent_.Record(id, std::move(sent));
    if (name == "INSTREAM") mode_ = Mode::ChunkLength;
    return out;
}

std::string CommandStream::Pass(std::string_view bytes) {
    std::string out;
    while (!bytes.empty()) {
        switch (mode_) {
            case Mode::AsItIs:
                out.append(bytes);
                return out;
            case Mode::ChunkBytes: {
                const std::size_t n = std::min<std::size_t>(chunkLeft_, bytes.size());
                out.append(bytes.substr(0, n));
                bytes.remove_prefix(n);
                chunkLeft_ -= n;
                if (chunkLeft_ == 0) mode_ = Mode::ChunkLength;
                break;
            }
            case Mode::ChunkLength: {
                const std::size_t n = std::min<std::size_t>(4 - pending_.size(), bytes.size());
                pending_.append(bytes.substr(0, n));
                bytes.remove_prefix(n);
                if (pending_.size() < 4) break;
                const auto byte = [this](int i) {
                    return static_cast<unsigned long>(static_cast<unsigned char>(pending_[i]));
                };
                chunkLeft_ = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
                out += pending_;
                pending_.clear();
                mode_ = chunkLeft_ == 0 ? Mode::Command : Mode::ChunkBytes;
                break;
            }
            case Mode::Command: {
                if (pending_.empty() && bytes.front() != 'z' && bytes.front() != 'n') {
                    mode_ = Mode::AsItIs;
                    break;
                }
                const char terminator =
                    (pending_.empty() ? bytes.front() : pending_.front()) == 'z' ? '\0' : '\n';
                const std::size_t end = bytes.find(terminator);
                if (end == std::string_view::npos) {
                    pending_.append(bytes);
                    bytes = {};
                    if (pending_.size() > kLongestCommand) {
                        out += std::exchange(pending_, {});
                        mode_ = Mode::AsItIs;
                    }
                    break;
                }
                pending_.append(bytes.substr(0, end));
                bytes.remove_prefix(end + 1);
                out += Translated(std::exchange(pending_, {}));
                break;
            }
        }
    }
    return out;
}

std::string ReplyStream::Pass(std::string_view bytes) {
    pending_.append(bytes);
    std::string out;
    std::size_t at = 0;
    for (;;) {
        // A number first, inside a session.
        std::size_t digits = at;
        while (digits < pending_.size() &&
               std::isdigit(static_cast<unsigned char>(pending_[digits])))
            ++digits;
        if (digits > at && digits + 2 > pending_.size()) break;  // the number may go on
        std::optional<unsigned> id;
        if (digits > at && digits - at < 10 && pending_.compare(digits, 2, ": ") == 0) {
            id = static_cast<unsigned>(std::stoul(pending_.substr(at, digits - at)));
        }
        if (at >= pending_.size()) break;
        const char terminator = sent_.Terminator(id);
        const std::size_t end = pending_.find(terminator, at);
        if (end == std::string::npos) {
            if (pending_.size() - at > kLongestReply) {
                out.append(pending_, at);
                at = pending_.size();
            }
            break;
        }
        out += sent_.WindowsReply(wine_, std::string_view(pending_).substr(at, end - at), id);
        out += terminator;
        at = end + 1;
    }
    pending_.erase(0, at);
    return out;
}

}  // namespace tolvar::bridge
