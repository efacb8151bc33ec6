#pragma once

// Lists a folder with the system's file search, every attribute allowed.

#include "scan/folder_lister.h"

namespace tolvar {

class FindFileLister : public FolderLister {
public:
    void List(const std::string& pattern, const std::function<void(const Entry&)>& each) override;
};

}  // namespace tolvar
