#pragma once

// (stand-in until the watcher lands)

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvar {

struct ReadyFile {
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
};

struct FolderWatcherOptions {
    DWORD quietMs = 500;
    DWORD retryMs = 1000;
    DWORD rewatchMs = 30000;
    DWORD bufferBytes = 64 * 1024;
};

class FolderWatcher {
public:
    FolderWatcher(std::vector<std::string> folders, std::vector<std::string> skipped,
                  std::function<void(const ReadyFile&)> ready, FolderWatcherOptions options = {});
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;
    std::vector<std::string> Watching() const;

private:
    std::vector<std::string> folders_;
};

}  // namespace tolvar
