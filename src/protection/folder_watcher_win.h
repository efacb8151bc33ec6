#pragma once

// The watch of the user's folders for real-time protection: one worker
// thread hears the system's change notices for each watched folder (and
// everything below it), and hands out each changed file once it is ready
// to be scanned: quiet for a while after its last change, and no longer
// held by a writer (arrival_queue.h decides when). When nothing changes the
// thread waits without a timer; a timer runs only while a file is pending
// or a watched folder is missing (a removed drive), which is watched again
// when it comes back.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/handles_win.h"

namespace tolvar {

class Thread;

struct ReadyFile {
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks
};

struct FolderWatcherOptions {
    DWORD quietMs = 500;            // how long a file must be quiet before it is ready
    DWORD retryMs = 1000;           // the first wait after a file was found held
    DWORD rewatchMs = 30000;        // how often a missing watched folder is tried
    DWORD bufferBytes = 64 * 1024;  // each folder's notice buffer
};

class FolderWatcher {
public:
    // folders: paths in UTF-8 as the program keeps them (e.g.
    // "C:\\Users\\x\\Downloads", no closing backslash); skipped: folders
    // never entered. `ready` is called on the watcher's own thread, once
    // for each version (size and last-write time) of a file; while it runs
    // no notice is taken in (a long call can make the system drop notices,
    // which a walk then makes up for). It must not throw: an exception ends
    // the watch. The watches are in place when the constructor returns.
    FolderWatcher(std::vector<std::string> folders, std::vector<std::string> skipped,
                  std::function<void(const ReadyFile&)> ready, FolderWatcherOptions options = {});
    // Ends the watch thread and waits for it.
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // The folders watched now, deduplicated (thread-safe).
    std::vector<std::string> Watching() const;

private:
    class Worker;
    void SetWatching(std::vector<std::string> folders);

    std::vector<std::string> folders_;
    std::vector<std::string> skipped_;
    std::function<void(const ReadyFile&)> ready_;
    FolderWatcherOptions options_;
    mutable std::mutex lock_;
    std::vector<std::string> watching_;
    UniqueHandle stop_;
    UniqueHandle started_;
    std::unique_ptr<Thread> thread_;
};

}  // namespace tolvar
