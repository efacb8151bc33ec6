#pragma once

// Which of the folders the user asked to watch get a watch of their own: a
// watch is recursive, so a folder inside another watched folder needs none,
// and folders that turn out to be one folder (known folders redirected onto
// each other, a link) are watched once, or each change would be heard
// twice. A folder inside a skipped one (the vault, the data folder) is
// never watched.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/excluded_folders.h"

namespace tolvar {

// What makes a folder itself, whatever path reaches it (on Windows, its
// volume's serial number and its file index); nothing while the folder
// cannot be opened (not there, a drive removed).
using FolderIdentity = std::function<std::optional<std::string>(const std::string& folder)>;

struct WatchPlan {
    std::vector<std::string> watch;   // to watch now, in the order given
    std::vector<std::string> absent;  // to try again later
};

// folders: in the form the program keeps them (no closing backslash).
WatchPlan PlanWatches(const std::vector<std::string>& folders, const ExcludedFolders& skipped,
                      const FolderIdentity& identity);

}  // namespace tolvar
