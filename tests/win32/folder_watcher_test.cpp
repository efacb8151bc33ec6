// The folder watch under Wine with real files in a folder of the test's
// own: what is written, renamed, moved in or held by a writer is handed
// out once, when it is ready, and never from a skipped folder. (Wine
// reports no change inside a subfolder that existed before the watch
// began, so the files are written into the watched folder itself and into
// subfolders made after.)

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "core/path_compare.h"
#include "core/wide_text_win.h"
#include "protection/folder_watcher_win.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

// Every file handed out, in order, as the watcher's thread gives them.
class Arrivals {
public:
    std::function<void(const ReadyFile&)> Sink() {
        return [this](const ReadyFile& file) {
            std::lock_guard<std::mutex> hold(lock_);
            files_.push_back(file);
        };
    }
    std::vector<ReadyFile> Files() const {
        std::lock_guard<std::mutex> hold(lock_);
        return files_;
    }
    // How many times each path (as handed out) came.
    std::map<std::string, int> Counts() const {
        std::map<std::string, int> counts;
        for (const ReadyFile& file : Files())
            ++counts[file.path];
        return counts;
    }
    // Waits until count files have come, then as long again as a second
    // hand-out of any of them would take; false when they never came.
    bool WaitFor(std::size_t count, DWORD timeoutMs = 15000) {
        const ULONGLONG start = GetTickCount64();
        while (Files().size() < count) {
            if (GetTickCount64() - start > timeoutMs) return false;
            Sleep(20);
        }
        Sleep(1500);
        return true;
    }

private:
    mutable std::mutex lock_;
    std::vector<ReadyFile> files_;
};

std::string TempRoot() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, buffer);
    return WithoutClosingBackslash(WideToUtf8(std::wstring(buffer, length)));
}

void MakeFolder(const std::string& path) {
    ASSERT_TRUE(CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) << path;
}

// A file written the way a program writes one: opened, written in several
// writes (each its own notice), closed.
void WriteFile(const std::string& path, const std::string& text, int writes = 4) {
    UniqueHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << path;
    for (int i = 0; i < writes; ++i) {
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                nullptr));
    }
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(Utf8ToWide(path + "\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::string child = path + "\\" + WideToUtf8(name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(Utf8ToWide(child).c_str());
        } while (FindNextFileW(search.get(), &found));
    }
    search.reset();
    RemoveDirectoryW(Utf8ToWide(path).c_str());
}

class FolderWatch : public ::testing::Test {
protected:
    FolderWatch() {
        root_ = TempRoot() + "\\folder-watch-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveTree(root_);
        CreateDirectoryW(Utf8ToWide(root_).c_str(), nullptr);
        watched_ = root_ + "\\Downloads";
        CreateDirectoryW(Utf8ToWide(watched_).c_str(), nullptr);
    }
    ~FolderWatch() override { RemoveTree(root_); }

    FolderWatcherOptions Fast() const {
        FolderWatcherOptions options;
        options.quietMs = 300;
        options.retryMs = 300;
        options.rewatchMs = 500;
        return options;
    }

    std::string root_;
    std::string watched_;
    Arrivals arrivals_;
};

// Guards against one scan per write (every write is a notice), a scan
// before the writer closed the file, a size or time that is not the file's
// as closed, and a file written again later never scanned again.
TEST_F(FolderWatch, AFileWrittenIsReadyOnceWithItsSizeAndTime) {
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());
    EXPECT_EQ(watcher.Watching(), Strings{watched_});
    const std::string path = watched_ + "\\report.pdf";
    WriteFile(path, std::string(1000, 'x'), 8);
    ASSERT_TRUE(arrivals_.WaitFor(1));
    const std::vector<ReadyFile> files = arrivals_.Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, path);
    EXPECT_EQ(files[0].size, 8000u);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(Utf8ToWide(path).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(files[0].lastWrite, (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                      data.ftLastWriteTime.dwLowDateTime);

    // Written again later: a new version, handed out again.
    WriteFile(path, std::string(10, 'y'), 1);
    ASSERT_TRUE(arrivals_.WaitFor(2));
    ASSERT_EQ(arrivals_.Files().size(), 2u);
    EXPECT_EQ(arrivals_.Files()[1].size, 10u);
}

// Guards against half a file being scanned while a slow writer (a
// download) pauses between writes, and against a scan per pause.
TEST_F(FolderWatch, AFileWrittenSlowlyIsReadyOnceAfterItsClose) {
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());
    const std::string path = watched_ + "\\slow.iso";
    {
        UniqueHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const std::string chunk(4096, 'd');
        for (int i = 0; i < 30; ++i) {
            DWORD written = 0;
            ASSERT_TRUE(::WriteFile(file.get(), chunk.data(), 4096, &written, nullptr));
            Sleep(100);
        }
        // Held a while longer without writes: quiet, but still held.
        Sleep(1000);
        EXPECT_TRUE(arrivals_.Files().empty()) << "handed out before its writer closed it";
    }
    ASSERT_TRUE(arrivals_.WaitFor(1));
    ASSERT_EQ(arrivals_.Files().size(), 1u);
    EXPECT_EQ(arrivals_.Files()[0].size, 30u * 4096);
}

// Guards against a file held by a writer that denies all sharing being
// given up after the first sharing violation (never scanned at all).
TEST_F(FolderWatch, AFileHeldWithoutSharingIsReadyOnlyOnceClosed) {
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());
    const std::string path = watched_ + "\\locked.db";
    {
        UniqueHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), "data", 4, &written, nullptr));
        Sleep(3000);
        EXPECT_TRUE(arrivals_.Files().empty()) << "handed out while held";
    }
    ASSERT_TRUE(arrivals_.WaitFor(1));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{{path, 1}}));
}

// Guards against a browser's download being scanned half-written under its
// passing name, or twice.
TEST_F(FolderWatch, APartialDownloadIsReadyOnceUnderItsFinalName) {
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());
    const std::string partial = watched_ + "\\setup.exe.crdownload";
    const std::string final = watched_ + "\\setup.exe";
    WriteFile(partial, std::string(2048, 'p'));
    Sleep(1500);
    EXPECT_TRUE(arrivals_.Files().empty());
    ASSERT_TRUE(MoveFileW(Utf8ToWide(partial).c_str(), Utf8ToWide(final).c_str()));
    ASSERT_TRUE(arrivals_.WaitFor(1));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{{final, 1}}));
}

// Guards against the files of a subfolder made after the watch began going
// unheard, and against a folder moved in (an archive unpacked elsewhere and
// moved) whose files were never announced one by one.
TEST_F(FolderWatch, NewSubfoldersAndAFolderMovedInAreHeard) {
    const std::string outside = root_ + "\\unpacked";
    MakeFolder(outside);
    MakeFolder(outside + "\\inner");
    WriteFile(outside + "\\one.dll", "1");
    WriteFile(outside + "\\inner\\two.exe", "2");
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());

    MakeFolder(watched_ + "\\New");
    MakeFolder(watched_ + "\\New\\Deeper");
    WriteFile(watched_ + "\\New\\Deeper\\three.txt", "3");
    ASSERT_TRUE(MoveFileW(Utf8ToWide(outside).c_str(), Utf8ToWide(watched_ + "\\moved").c_str()));
    ASSERT_TRUE(arrivals_.WaitFor(3));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{
                                      {watched_ + "\\New\\Deeper\\three.txt", 1},
                                      {watched_ + "\\moved\\inner\\two.exe", 1},
                                      {watched_ + "\\moved\\one.dll", 1},
                                  }));
}

// Guards against the program handing out its own vault's (or any skipped
// folder's) files, against a watched folder inside a skipped one being
// watched, and against one folder named twice being watched twice.
TEST_F(FolderWatch, ASkippedFoldersFilesAreNeverReadyAndOneFolderIsWatchedOnce) {
    const std::string vault = watched_ + "\\Vault";
    const std::string other = root_ + "\\Other";
    MakeFolder(other);
    FolderWatcher watcher({watched_, other, watched_ + "\\", vault + "\\Inner", other + "\\Sub"},
                          {vault}, arrivals_.Sink(), Fast());
    EXPECT_EQ(watcher.Watching(), (Strings{watched_, other}));

    MakeFolder(vault);
    MakeFolder(vault + "\\Inner");
    WriteFile(vault + "\\1.bin", "q");
    WriteFile(vault + "\\Inner\\2.bin", "q");
    WriteFile(watched_ + "\\beside.txt", "b");
    WriteFile(other + "\\there.txt", "t");
    ASSERT_TRUE(arrivals_.WaitFor(2));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{{watched_ + "\\beside.txt", 1},
                                                              {other + "\\there.txt", 1}}));
}

// The same folder through Wine's Z: drive, which maps the Linux root: a
// second path to one folder, as a redirected known folder is on Windows.
std::string ThroughDriveZ(const std::string& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return {};
    char* name = unixName(Utf8ToWide(path).c_str());
    if (!name) return {};
    std::string z = "Z:" + std::string(name);
    HeapFree(GetProcessHeap(), 0, name);
    std::replace(z.begin(), z.end(), '/', '\\');
    return z;
}

// Guards against one folder reached by two paths being watched twice, and
// so each of its files scanned twice under two names.
TEST_F(FolderWatch, OneFolderByTwoPathsIsWatchedOnce) {
    const std::string again = ThroughDriveZ(watched_);
    ASSERT_FALSE(again.empty()) << "Wine's Z: drive is needed";
    ASSERT_FALSE(SamePath(again, watched_));
    FolderWatcher watcher({watched_, again}, {}, arrivals_.Sink(), Fast());
    EXPECT_EQ(watcher.Watching(), Strings{watched_});
    WriteFile(watched_ + "\\once.txt", "o");
    ASSERT_TRUE(arrivals_.WaitFor(1));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{{watched_ + "\\once.txt", 1}}));
}

// Guards against a watched folder that was missing (a drive not plugged
// in) staying unwatched for good once it is there. (A watched folder
// deleted while watched cannot be shown here: Wine keeps it on disk until
// the watch lets go and ends no request, where Windows ends the request
// with an error, which the watch takes as the folder gone.)
TEST_F(FolderWatch, AFolderThatComesBackIsWatchedAgain) {
    const std::string later = root_ + "\\Later";
    FolderWatcher watcher({watched_, later}, {}, arrivals_.Sink(), Fast());
    EXPECT_EQ(watcher.Watching(), Strings{watched_});
    MakeFolder(later);
    const ULONGLONG start = GetTickCount64();
    while (watcher.Watching().size() < 2 && GetTickCount64() - start < 10000)
        Sleep(50);
    EXPECT_EQ(watcher.Watching(), (Strings{watched_, later}));
    WriteFile(later + "\\arrived.txt", "a");
    ASSERT_TRUE(arrivals_.WaitFor(1));
    EXPECT_EQ(arrivals_.Counts(), (std::map<std::string, int>{{later + "\\arrived.txt", 1}}));
}

// Guards against a watched folder renamed away going on being watched
// under its old path (its files handed out by paths that name nothing, or
// another file) while the folder made in its place goes unwatched.
TEST_F(FolderWatch, AWatchedFolderRenamedAwayIsLetGoAndItsPlaceWatchedAgain) {
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), Fast());
    const std::string away = root_ + "\\Renamed";
    ASSERT_TRUE(MoveFileW(Utf8ToWide(watched_).c_str(), Utf8ToWide(away).c_str()));
    const ULONGLONG start = GetTickCount64();
    while (!watcher.Watching().empty() && GetTickCount64() - start < 10000)
        Sleep(50);
    EXPECT_TRUE(watcher.Watching().empty());
    WriteFile(away + "\\moved-away.txt", "a");
    MakeFolder(watched_);
    while (watcher.Watching().empty() && GetTickCount64() - start < 20000)
        Sleep(50);
    EXPECT_EQ(watcher.Watching(), Strings{watched_});
    WriteFile(watched_ + "\\in-its-place.txt", "p");
    ASSERT_TRUE(arrivals_.WaitFor(1));
    EXPECT_EQ(arrivals_.Counts(),
              (std::map<std::string, int>{{watched_ + "\\in-its-place.txt", 1}}));
}

// Guards against files lost when the notices overflow the buffer: the walk
// that follows finds every file written, and each is handed out once.
TEST_F(FolderWatch, AnOverflowIsFollowedByAWalkThatMissesNothing) {
    FolderWatcherOptions options = Fast();
    options.bufferBytes = 256;
    FolderWatcher watcher({watched_}, {}, arrivals_.Sink(), options);
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(watched_ + "\\many-files-at-once-" + std::to_string(i) + ".txt", "m", 2);
    ASSERT_TRUE(arrivals_.WaitFor(kFiles, 60000)) << arrivals_.Files().size();
    const std::map<std::string, int> counts = arrivals_.Counts();
    EXPECT_EQ(counts.size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(
        std::all_of(counts.begin(), counts.end(), [](const auto& c) { return c.second == 1; }));
}

}  // namespace
}  // namespace tolvar
