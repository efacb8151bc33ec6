#include "protection/folder_watcher_win.h"

#include <algorithm>
#include <optional>
#include <set>

#include "core/app_error.h"
#include "core/path_compare.h"
#include "core/wide_text_win.h"
#include "framework/thread_win.h"
#include "protection/arrival_queue.h"
#include "protection/changed_files_walk.h"
#include "protection/folder_entries_win.h"
#include "protection/folder_notices_win.h"
#include "protection/handed_out_files.h"
#include "protection/watch_plan.h"
#include "scan/excluded_folders.h"

namespace tolvar {

namespace {

constexpr DWORD kNotifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
// One wait takes the stop event and two requests for each of at most this
// many folders.
constexpr std::size_t kMostWatches = (MAXIMUM_WAIT_OBJECTS - 1) / 2;

// One watched folder: the request on its tree, and one on the folder that
// holds it, which alone hears the watched folder itself renamed or removed
// (a request follows its folder to wherever it is moved, and would go on
// naming its files by the old path).
struct Watch {
    std::string folder;
    std::wstring wideFolder;
    std::string name;  // the folder's own name, in ComparablePath's form
    std::string identity;
    NoticeRequest tree;
    NoticeRequest parent;  // not for a drive's root
    bool gone = false;
    // When the last notice was heard (or the watch began): an overflow walk
    // looks back to it.
    std::uint64_t lastNotice = 0;

    bool ReadTree() { return tree.Read(TRUE, kNotifyFilter); }
    bool ReadParent() {
        return !parent.directory || parent.Read(FALSE, FILE_NOTIFY_CHANGE_DIR_NAME);
    }
};

}  // namespace

class FolderWatcher::Worker {
public:
    explicit Worker(FolderWatcher& owner)
        : owner_(owner),
          skipped_(owner.skipped_),
          queue_(skipped_, ArrivalTiming{owner.options_.quietMs, owner.options_.retryMs,
                                         std::max<std::uint64_t>(4000, owner.options_.retryMs)}) {}

    void Run() {
        Replan();
        SetEvent(owner_.started_.get());
        for (;;) {
            std::vector<HANDLE> handles{owner_.stop_.get()};
            for (const auto& watch : watches_) {
                handles.push_back(watch->tree.event.get());
                if (watch->parent.directory) handles.push_back(watch->parent.event.get());
            }
            const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                        handles.data(), FALSE, Timeout());
            if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
            // Every folder whose request is done, not only the first the
            // wait names: a busy folder must not starve the others.
            bool lost = false;
            for (auto& watch : watches_) {
                if (watch->tree.Done() && !Complete(*watch)) watch->gone = true;
                if (watch->parent.Done() && !CompleteParent(*watch)) watch->gone = true;
                lost |= watch->gone;
            }
            if (lost) DropLostWatches();
            if (!absent_.empty() && GetTickCount64() >= nextRewatch_) Replan();
            for (const std::string& folder : queue_.TakeNewFolders())
                for (const std::string& file : ChangedFilesBelow(folder, 0, skipped_, List))
                    queue_.Note(file, ChangeKind::Added, GetTickCount64());
            for (const DueFile& file : queue_.TakeDue(GetTickCount64()))
                Offer(file);
        }
    }

private:
    static std::vector<ListedEntry> List(const std::string& folder) {
        return ListFolderEntries(folder);
    }

    DWORD Timeout() const {
        const std::uint64_t now = GetTickCount64();
        std::optional<std::uint64_t> wake = queue_.NextWake();
        if (!absent_.empty()) wake = std::min(wake.value_or(nextRewatch_), nextRewatch_);
        if (!wake) return INFINITE;
        return *wake <= now ? 0
                            : static_cast<DWORD>(std::min<std::uint64_t>(*wake - now, 0x7fffffff));
    }

    // Watches the folders the plan names now, and lets go of the others.
    void Replan() {
        const WatchPlan plan = PlanWatches(owner_.folders_, skipped_, IdentityOf);
        std::set<std::string> wanted;
        for (const std::string& folder : plan.watch)
            wanted.insert(ComparablePath(folder));
        std::erase_if(watches_, [&](const std::unique_ptr<Watch>& watch) {
            return !wanted.count(ComparablePath(watch->folder));
        });
        absent_ = plan.absent;
        for (const std::string& folder : plan.watch) {
            const bool watched = std::any_of(watches_.begin(), watches_.end(), [&](const auto& w) {
                return SamePath(w->folder, folder);
            });
            if (watched) continue;
            if (watches_.size() >= kMostWatches || !Begin(folder)) absent_.push_back(folder);
        }
        if (!absent_.empty()) nextRewatch_ = GetTickCount64() + owner_.options_.rewatchMs;
        Publish();
    }

    bool Begin(const std::string& folder) {
        auto watch = std::make_unique<Watch>();
        watch->folder = folder;
        watch->wideFolder = Utf8ToWide(folder);
        watch->lastNotice = NowTicks();
        const std::optional<std::string> identity = IdentityOf(folder);
        if (!identity || !watch->tree.Open(folder, owner_.options_.bufferBytes)) return false;
        watch->identity = *identity;
        const std::size_t root = RootLength(folder);
        const std::size_t slash = folder.find_last_of('\\');
        if (root != 0 && folder.size() > root && slash != std::string::npos && slash + 1 >= root) {
            const std::string parent =
                WithoutClosingBackslash(folder.substr(0, std::max(slash + 1, root)));
            watch->name = ComparablePath(folder.substr(slash + 1));
            // Without it the watch still works; it only misses its folder
            // renamed or removed.
            if (!watch->parent.Open(parent, 4096)) watch->parent.Close();
        }
        if (!watch->ReadTree()) return false;
        if (!watch->ReadParent()) watch->parent.Close();
        watches_.push_back(std::move(watch));
        return true;
    }

    // Takes in a finished request on a watched tree and asks for the next;
    // false when the folder is gone.
    bool Complete(Watch& watch) {
        NoticeRequest& request = watch.tree;
        DWORD bytes = 0;
        const bool ok =
            GetOverlappedResult(request.directory.get(), &request.overlapped, &bytes, FALSE);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        request.reading = false;
        // Windows ends the request with an error when the folder is deleted
        // or its drive removed.
        if (!ok && error != ERROR_NOTIFY_ENUM_DIR) return false;
        // The notices are copied out and the next request made before they
        // are read, so that few are lost meanwhile.
        std::vector<DWORD> notices(
            request.buffer.begin(),
            request.buffer.begin() + (bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
        const std::uint64_t lastNotice = watch.lastNotice;
        watch.lastNotice = NowTicks();
        if (!watch.ReadTree()) return false;
        if (!ok || bytes == 0) {
            // The notices were more than the buffer held and are lost.
            for (const std::string& file :
                 ChangedFilesBelow(watch.folder, OverflowWalkSince(lastNotice), skipped_, List))
                queue_.Note(file, ChangeKind::Modified, GetTickCount64());
            return true;
        }
        const std::uint64_t now = GetTickCount64();
        EachNotice(reinterpret_cast<const BYTE*>(notices.data()), bytes,
                   [&](DWORD action, std::wstring_view name) {
                       std::wstring path = watch.wideFolder;
                       if (path.empty() || path.back() != L'\\') path += L'\\';
                       path += name;
                       Note(path, action, now);
                   });
        return true;
    }

    // Takes in a finished request on the folder holding a watched one;
    // false when the watched folder is gone (renamed, moved or removed).
    bool CompleteParent(Watch& watch) {
        NoticeRequest& request = watch.parent;
        DWORD bytes = 0;
        const bool ok =
            GetOverlappedResult(request.directory.get(), &request.overlapped, &bytes, FALSE);
        request.reading = false;
        bool gone = false;
        if (ok && bytes > 0) {
            EachNotice(
                reinterpret_cast<const BYTE*>(request.buffer.data()), bytes,
                [&](DWORD action, std::wstring_view name) {
                    if ((action == FILE_ACTION_REMOVED || action == FILE_ACTION_RENAMED_OLD_NAME) &&
                        ComparablePath(WideToUtf8(name)) == watch.name)
                        gone = true;
                });
        } else {
            // Notices lost, or the holding folder itself gone: whether the
            // path still leads to the folder watched tells.
            gone = IdentityOf(watch.folder) != watch.identity;
        }
        if (gone) return false;
        if (!ok && GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
            watch.parent.Close();
            return true;
        }
        if (!watch.ReadParent()) watch.parent.Close();
        return true;
    }

    void Note(const std::wstring& path, DWORD action, std::uint64_t now) {
        const std::string utf8 = WideToUtf8(path);
        if (action == FILE_ACTION_REMOVED || action == FILE_ACTION_RENAMED_OLD_NAME) {
            queue_.Note(utf8, ChangeKind::Removed, now);
            handedOut_.Forget(utf8);
            return;
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (action == FILE_ACTION_MODIFIED) {
            // A folder counts as changed whenever what it holds does.
            if (!folder) queue_.Note(utf8, ChangeKind::Modified, now);
            return;
        }
        if (folder) {
            // A link is watched through nothing: its target lies elsewhere.
            if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                queue_.Note(utf8, ChangeKind::NewFolder, now);
            return;
        }
        queue_.Note(utf8, action == FILE_ACTION_ADDED ? ChangeKind::Added : ChangeKind::RenamedTo,
                    now);
    }

    // A due file is ready when it opens with its writers denied: none holds
    // it open for writing now, and none can start while it is looked at.
    void Offer(const DueFile& due) {
        UniqueHandle file(CreateFileW(Utf8ToWide(due.path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                queue_.Busy(due, GetTickCount64());
            // Anything else: gone, or never to be opened; a later change
            // brings it back.
            return;
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(file.get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        ReadyFile ready;
        ready.path = due.path;
        ready.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        ready.lastWrite = Ticks(info.ftLastWriteTime);
        file.reset();
        if (handedOut_.IsNew(ready.path, ready.size, ready.lastWrite)) owner_.ready_(ready);
    }

    void DropLostWatches() {
        std::erase_if(watches_, [&](const std::unique_ptr<Watch>& watch) {
            if (!watch->gone) return false;
            absent_.push_back(watch->folder);
            return true;
        });
        nextRewatch_ = GetTickCount64() + owner_.options_.rewatchMs;
        Publish();
    }

    void Publish() {
        std::vector<std::string> folders;
        for (const auto& watch : watches_)
            folders.push_back(watch->folder);
        owner_.SetWatching(std::move(folders));
    }

    FolderWatcher& owner_;
    ExcludedFolders skipped_;
    ArrivalQueue queue_;
    HandedOutFiles handedOut_;
    std::vector<std::unique_ptr<Watch>> watches_;
    std::vector<std::string> absent_;
    std::uint64_t nextRewatch_ = 0;
};

FolderWatcher::FolderWatcher(std::vector<std::string> folders, std::vector<std::string> skipped,
                             std::function<void(const ReadyFile&)> ready,
                             FolderWatcherOptions options)
    : folders_(std::move(folders)),
      skipped_(std::move(skipped)),
      ready_(std::move(ready)),
      options_(options),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      started_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!stop_ || !started_) throw AppError("Cannot watch the folders");
    thread_ = std::make_unique<Thread>([this](Thread&) {
        Worker worker(*this);
        worker.Run();
    });
    thread_->start();
    // The watches are in place when this returns: what is written after it
    // is heard. A worker that failed to start ends its thread instead.
    HANDLE waited[] = {started_.get(), thread_->handle()};
    WaitForMultipleObjects(2, waited, FALSE, INFINITE);
}

FolderWatcher::~FolderWatcher() {
    SetEvent(stop_.get());
    thread_.reset();
}

std::vector<std::string> FolderWatcher::Watching() const {
    std::lock_guard<std::mutex> hold(lock_);
    return watching_;
}

void FolderWatcher::SetWatching(std::vector<std::string> folders) {
    std::lock_guard<std::mutex> hold(lock_);
    watching_ = std::move(folders);
}

}  // namespace tolvar
