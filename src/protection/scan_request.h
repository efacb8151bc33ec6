#pragma once

// A request to scan files and folders, as another process hands it to the
// running program (Explorer's menu through TolvarScan.exe, a second start
// with /scan): the message that carries it, and the checks every path in
// it passes before it is scanned. The sender is another program, so what
// arrives is input like any other: only a full path to a file or folder is
// taken, never a device, a relative path or a name the file system would
// read as something else.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The pipe the running program takes requests on.
inline constexpr const char* kScanRequestPipe = "\\\\.\\pipe\\Mirebrook.TolvarAntiVirus.Scan";
// A message longer than this is refused whole; Explorer's fifteen paths
// fit many times over.
inline constexpr std::size_t kLongestScanRequest = 256 * 1024;

// The message for paths (UTF-8): a first line naming it, then one path a
// line. A path holding a line break cannot be sent (no Windows name holds
// one); it is sent as it is and the receiver refuses what it makes of it.
std::string ScanRequestMessage(const std::vector<std::string>& paths);
// The paths of a message; nothing when it is none (another first line, too
// long, not UTF-8, no path at all).
std::optional<std::vector<std::string>> ReadScanRequestMessage(std::string_view message);

// A path of a request as the program takes it: with single backslashes,
// "/" read as "\", a long path's "\\?\" dropped, and no closing backslash
// but a drive's root's ("C:\"). refusal is empty when the path is taken,
// otherwise the words that say why it is not.
struct RequestedPath {
    std::string path;
    std::string refusal;
};
RequestedPath CheckRequestedPath(std::string_view path);

// The reply to a request: how many of its paths will be scanned, and each
// refused path with why (path, tab, why; one a line).
struct ScanRequestReply {
    std::size_t taken = 0;
    std::vector<RequestedPath> refused;
};
std::string ScanRequestReplyText(const ScanRequestReply& reply);
std::optional<ScanRequestReply> ReadScanRequestReply(std::string_view text);

}  // namespace tolvar
