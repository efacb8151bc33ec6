#pragma once

// The plain files of a folder, by the system's file search.

#include <string>
#include <vector>

namespace tolvar {

// The names of the files (not the folders) in folder, which ends with a
// backslash, that match the wildcard pattern; none when the folder cannot
// be listed.
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern);

}  // namespace tolvar
