#pragma once

// Lists folders for the walk with the system's file search, hidden and
// system entries included, each with its reparse tag.

#include "scan/target_walk.h"

namespace tolvar {

class FindTreeLister : public TreeLister {
public:
    std::optional<std::uint32_t> Attributes(const std::string& path) override;
    bool List(const std::string& folder, const std::function<bool(const Entry&)>& each) override;
    std::optional<std::string> FolderIdentity(const std::string& folder) override;
};

}  // namespace tolvar
