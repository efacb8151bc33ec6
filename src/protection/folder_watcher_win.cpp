#include "protection/folder_watcher_win.h"

namespace tolvar {

FolderWatcher::FolderWatcher(std::vector<std::string> folders, std::vector<std::string>,
                             std::function<void(const ReadyFile&)>, FolderWatcherOptions)
    : folders_(std::move(folders)) {}

FolderWatcher::~FolderWatcher() = default;

std::vector<std::string> FolderWatcher::Watching() const {
    return folders_;
}

}  // namespace tolvar
