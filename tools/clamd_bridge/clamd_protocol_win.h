#pragma once

// clamd's socket protocol as the bridge passes it on, with paths in Linux
// form towards Debian's clamd and in Windows form (UTF-8) back.
//
// Commands are "z<NAME>[ <arg>]\0" or "n<NAME>[ <arg>]\n"; after
// "zIDSESSION" every command gets the next number from 1, and its replies
// start with "<number>: ", end with its own command's terminator and may
// come back in any order. SCAN, CONTSCAN, MULTISCAN and ALLMATCHSCAN carry
// a path; INSTREAM is followed by chunks (a 4-byte big-endian length, that
// many bytes; a zero length ends them), passed on untouched. A command
// without a prefix (clamd's oldest form) is passed on as it is, and so is
// everything after it on that connection.
//
// A reply about a path is "<path>: OK", "<path>: <name> FOUND",
// "<path>: <message> ERROR", "<path>: Empty file" or "<path>: Excluded";
// the path is the one sent, or for a folder a path below it, or where
// clamd resolved a link another path altogether. Each comes back as the
// program named it, or below it, or as Wine maps it back.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "wine_bridge/wine_bridge_win.h"

namespace tolvar::bridge {

// What a connection's two directions share: each command's terminator and
// the path it carried, by its number within a session (0 outside one).
class SentCommands {
public:
    struct Sent {
        char terminator = '\0';
        std::string linuxPath;    // "" when the command carried none
        std::string windowsPath;  // as the program sent it, UTF-8
    };

    void Record(unsigned id, Sent sent);
    // The terminator of the reply to command id (nothing for a reply that
    // carries no number: a later line of a reply in lines, or a reply
    // outside a session).
    char Terminator(std::optional<unsigned> id);
    // The reply (without its terminator) with its path in Windows form.
    std::string WindowsReply(const WinePaths& wine, std::string_view reply,
                             std::optional<unsigned> id);

private:
    std::mutex lock_;
    std::unordered_map<unsigned, Sent> sent_;
    char lastSent_ = '\0';
    std::optional<char> lastNumbered_;
};

// The Windows form of a reply's body "<path>: <verdict>" when no command's
// path explains it (and of a line of clamd's log): the path split off where
// the verdict starts and mapped back through Wine. Anything else as it is.
std::string WindowsBody(const WinePaths& wine, std::string_view body);

// The program's side of a connection: bytes as they come in, commands out
// with their paths in Linux form.
class CommandStream {
public:
    CommandStream(const WinePaths& wine, SentCommands& sent) : wine_(wine), sent_(sent) {}
    std::string Pass(std::string_view bytes);

private:
    enum class Mode { Command, ChunkLength, ChunkBytes, AsItIs };
    std::string Translated(const std::string& command);

    const WinePaths& wine_;
    SentCommands& sent_;
    Mode mode_ = Mode::Command;
    std::string pending_;
    unsigned long chunkLeft_ = 0;
    bool session_ = false;
    unsigned nextId_ = 1;
};

// clamd's side: bytes as they come in, replies out with Windows paths.
class ReplyStream {
public:
    ReplyStream(const WinePaths& wine, SentCommands& sent) : wine_(wine), sent_(sent) {}
    std::string Pass(std::string_view bytes);
    // What is left when clamd closed the connection, as it is.
    std::string Rest() { return std::exchange(pending_, {}); }

private:
    const WinePaths& wine_;
    SentCommands& sent_;
    std::string pending_;
};

}  // namespace tolvar::bridge
