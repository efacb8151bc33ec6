#pragma once

// The decisions behind ending a running program before its file goes into
// the vault, kept apart from the calls that list and end processes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The file-name part of an executable path as the process list reports it:
// the text after the last backslash or colon, taken from a fixed buffer, so
// it stops at the first zero byte and never runs past 260 characters.
std::string ImageNameFromExeFile(std::string_view exeFile);

std::string AsciiLower(std::string_view text);

// The program never ends itself, whatever case its file name is written in.
bool IsOwnImageName(std::string_view imageName);

// The indices of the processes that run the file at fullTarget. Every such
// process counts, not just the first: each one keeps the file open. A
// process matches by its executable path, never by its image name alone, as
// a harmless program may share its name with an infected copy elsewhere.
// The lists run in parallel; the paths are compared as every path is
// (SamePath), and an empty one names no file.
std::vector<std::size_t> ProcessesRunningFile(const std::vector<std::string>& imageNames,
                                              const std::vector<std::string>& fullPaths,
                                              std::string_view fullTarget);

}  // namespace tolvar
