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

// Two full paths name the same file when they are equal ignoring the case of
// ASCII letters. An empty path is a path that could not be read and names no
// file, so it never equals anything, not even another empty one.
bool SameFullPath(std::string_view a, std::string_view b);

using PathEquality = bool (*)(std::string_view, std::string_view);

// The indices of the processes that run the file at fullTarget. Every such
// process counts, not just the first: each one keeps the file open. A
// process matches by its executable path, never by its image name alone, as
// a harmless program may share its name with an infected copy elsewhere.
// The lists run in parallel; samePath compares two full paths.
std::vector<std::size_t> ProcessesRunningFile(const std::vector<std::string>& imageNames,
                                              const std::vector<std::string>& fullPaths,
                                              std::string_view fullTarget,
                                              PathEquality samePath = SameFullPath);

}  // namespace tolvar
