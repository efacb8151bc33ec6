#pragma once

// The program's "--exclude-dir" patterns, which clamscan.exe matches
// against Windows paths without regard to case, made into patterns that
// exclude the same folder from Debian's clamscan, which matches the Linux
// paths the bridge gives it, case and all. No Windows API: tested natively.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::bridge {

// The Linux pattern for a pattern in the program's form (see
// ClamscanExcludePattern): the folder's root ("C:\" or "\\srv\share\") is
// put in its Linux form by linuxRoot (a Linux path, with or without its
// closing slash); each name below it is matched in either case, a
// backslash becomes "/". Nothing for a pattern of another form, or a root
// linuxRoot cannot place.
std::optional<std::string> LinuxExcludePattern(
    std::string_view windowsPattern,
    const std::function<std::optional<std::string>(const std::string& windowsRoot)>& linuxRoot);

}  // namespace tolvar::bridge
