// Ending the programs that hold infected files: the process listing, the
// lookups by image name, the old end-by-name helper and the path-based end
// that the removal run uses. Copies of the fake scanner that hang stand in
// for running programs; two of them share the name victim.exe.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "core/handles_win.h"
#include "core/path_compare.h"
#include "scan/process_names.h"
#include "scan/process_snapshot.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

// Long enough for any process start or end under a loaded Wine; the tests
// only wait this long when something is already wrong.
constexpr DWORD kGenerousMs = 15000;
// How long a process that must survive is watched after a call that must
// not have ended it; termination is asynchronous, so a wrong end shows up
// within this window rather than at once.
constexpr DWORD kSurvivalWatchMs = 1000;

std::string TestProgramFolder() {
    char path[MAX_PATH * 2] = "";
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return fs::path(std::string(path, n)).parent_path().string();
}

bool Ended(HANDLE process, DWORD ms) {
    return WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
}

// The snapshot's index of a process id, or -1.
int IndexOf(DWORD processId) {
    const std::vector<std::string>& ids = Snapshot().ProcessIds;
    const auto found = std::find(ids.begin(), ids.end(), std::to_string(processId));
    return found == ids.end() ? -1 : static_cast<int>(found - ids.begin());
}

class ProcessControl : public testing::Test {
protected:
    ProcessControl() : dir_(fs::temp_directory_path() / "tolvar process test") {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        fs::create_directories(dir_);
    }
    ~ProcessControl() override {
        for (const UniqueHandle& process : processes_) {
            TerminateProcess(process.get(), 1);
            // The copies cannot be deleted while they run.
            WaitForSingleObject(process.get(), kGenerousMs);
        }
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", nullptr);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // A copy of the fake scanner as folder\name; its full path.
    std::string copyScanner(const std::string& folder, const std::string& name) {
        fs::create_directories(dir_ / folder);
        const std::string source = TestProgramFolder() + "\\bin\\snr\\1\\9\\clamscan.exe";
        const std::string target = (dir_ / folder / name).string();
        EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
        return target;
    }

    // Starts the program and returns once it runs its script, so that the
    // system has its image path; the fixture ends it at the latest.
    HANDLE start(const std::string& exePath) {
        const std::string tag = "run" + std::to_string(processes_.size());
        const std::string started = (dir_ / (tag + ".started")).string();
        const std::string script = (dir_ / (tag + ".script")).string();
        std::ofstream(script, std::ios::binary) << "touch " << started << "\nhang\n";
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", script.c_str());

        std::string commandLine = "\"" + exePath + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            DETACHED_PROCESS, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "cannot start " << exePath << ": " << GetLastError();
            return nullptr;
        }
        UniqueHandle thread(pi.hThread);
        processes_.emplace_back(pi.hProcess);
        const ULONGLONG deadline = GetTickCount64() + kGenerousMs;
        while (GetFileAttributesA(started.c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetTickCount64() < deadline)
            Sleep(10);
        EXPECT_NE(GetFileAttributesA(started.c_str()), INVALID_FILE_ATTRIBUTES)
            << exePath << " never ran its script";
        return pi.hProcess;
    }

    fs::path dir_;
    std::vector<UniqueHandle> processes_;
};

// The fault this guards against: ending every process that shares the file
// name of an infected file, which would end for example the system's own
// svchost.exe because an infected svchost.exe lies in a download folder.
TEST_F(ProcessControl, KillInfectedProcessEndsOnlyTheProcessRunningThatFile) {
    const std::string firstPath = copyScanner("first copy", "victim.exe");
    const std::string secondPath = copyScanner("second copy", "victim.exe");
    HANDLE first = start(firstPath);
    HANDLE second = start(secondPath);
    ASSERT_TRUE(first && second);

    TakeProcessSnapshot();
    ASSERT_TRUE(IsProcessRunning("victim.exe"));
    const int firstIndex = IndexOf(GetProcessId(first));
    const int secondIndex = IndexOf(GetProcessId(second));
    ASSERT_GE(firstIndex, 0);
    ASSERT_GE(secondIndex, 0);
    EXPECT_EQ(FindProcess("victim.exe"), std::min(firstIndex, secondIndex));
    EXPECT_EQ(Snapshot().ImageNames[firstIndex], "victim.exe");
    EXPECT_EQ(Snapshot().ImageNames[secondIndex], "victim.exe");
    EXPECT_TRUE(SamePath(Snapshot().ExecutablePaths[firstIndex], firstPath))
        << Snapshot().ExecutablePaths[firstIndex];
    EXPECT_TRUE(SamePath(Snapshot().ExecutablePaths[secondIndex], secondPath))
        << Snapshot().ExecutablePaths[secondIndex];

    // A file of the same name that no process runs ends nothing.
    EXPECT_FALSE(KillInfectedProcess((dir_ / "elsewhere" / "victim.exe").string()));
    EXPECT_FALSE(KillInfectedProcess(""));

    EXPECT_TRUE(KillInfectedProcess(secondPath));
    EXPECT_TRUE(Ended(second, kGenerousMs));
    EXPECT_FALSE(Ended(first, kSurvivalWatchMs));

    // The listing is not refreshed by the end: the ended process is still
    // listed, and asking again ends nothing more.
    EXPECT_FALSE(KillInfectedProcess(secondPath));
    EXPECT_FALSE(Ended(first, 0));
}

// Guards against comparing the paths as plain text: the report, the user and
// the system may write one file's path in different case, with "..", or
// through its 8.3 short name, and each must still reach the process.
TEST_F(ProcessControl, KillInfectedProcessMatchesThePathHoweverItIsWritten) {
    const std::string bystanderPath = copyScanner("first copy", "victim.exe");
    const std::string targetPath = copyScanner("second copy", "victim.exe");
    HANDLE bystander = start(bystanderPath);
    ASSERT_TRUE(bystander);

    std::string upper = targetPath;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    char shortPath[MAX_PATH * 2] = "";
    const DWORD shortLength = GetShortPathNameA(targetPath.c_str(), shortPath, sizeof shortPath);
    ASSERT_GT(shortLength, 0u);
    ASSERT_LT(shortLength, sizeof shortPath);
    const std::vector<std::string> spellings = {
        upper,
        (dir_ / "first copy" / ".." / "second copy" / "victim.exe").string(),
        shortPath,
    };
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        HANDLE target = start(targetPath);
        ASSERT_TRUE(target);
        TakeProcessSnapshot();
        EXPECT_TRUE(KillInfectedProcess(spelling));
        EXPECT_TRUE(Ended(target, kGenerousMs));
        EXPECT_FALSE(Ended(bystander, 0));
    }
    EXPECT_FALSE(Ended(bystander, kSurvivalWatchMs));
}

// Guards against the removal ending the program itself: its image name is
// protected in any case, by both ways of ending a process.
TEST_F(ProcessControl, AProcessNamedLikeTheProgramIsNeverEnded) {
    const std::string path = copyScanner("own", "ANTIVIRUS.EXE");
    HANDLE own = start(path);
    ASSERT_TRUE(own);

    TakeProcessSnapshot();
    ASSERT_TRUE(IsProcessRunning("ANTIVIRUS.EXE"));
    EXPECT_FALSE(KillInfectedProcess(path));
    KillProcessByName("ANTIVIRUS.EXE");
    KillProcessByName("antivirus.exe");
    EXPECT_FALSE(Ended(own, kSurvivalWatchMs));
}

// Guards the end-by-name helper's own rules: the lookup is exact and
// case-sensitive, and of two namesakes only the one listed first goes.
TEST_F(ProcessControl, KillProcessByNameEndsTheFirstListedExactName) {
    HANDLE a = start(copyScanner("first copy", "victim.exe"));
    HANDLE b = start(copyScanner("second copy", "victim.exe"));
    ASSERT_TRUE(a && b);

    TakeProcessSnapshot();
    EXPECT_EQ(FindProcess("Victim.exe"), -1);
    EXPECT_FALSE(IsProcessRunning("Victim.exe"));
    KillProcessByName("Victim.exe");
    EXPECT_FALSE(Ended(a, kSurvivalWatchMs));
    EXPECT_FALSE(Ended(b, 0));

    const int index = FindProcess("victim.exe");
    ASSERT_GE(index, 0);
    const bool aFirst = Snapshot().ProcessIds[index] == std::to_string(GetProcessId(a));
    HANDLE listedFirst = aFirst ? a : b;
    HANDLE listedLater = aFirst ? b : a;
    ASSERT_EQ(Snapshot().ProcessIds[index], std::to_string(GetProcessId(listedFirst)));

    KillProcessByName("victim.exe");
    EXPECT_TRUE(Ended(listedFirst, kGenerousMs));
    EXPECT_FALSE(Ended(listedLater, kSurvivalWatchMs));
}

// Guards against a second listing being appended to the first, against the
// three lists drifting apart (a name or path paired with another process's
// id would end the wrong process), and against a stale listing.
TEST_F(ProcessControl, EachSnapshotReplacesTheLastWithListsThatAgree) {
    auto listsAgree = [] {
        const ProcessSnapshot& s = Snapshot();
        return s.ImageNames.size() == s.ProcessIds.size() &&
               s.ProcessIds.size() == s.ExecutablePaths.size();
    };
    HANDLE early = start(copyScanner("first copy", "victim.exe"));
    ASSERT_TRUE(early);
    TakeProcessSnapshot();
    ASSERT_TRUE(listsAgree());
    const std::size_t firstCount = Snapshot().ImageNames.size();
    ASSERT_GE(IndexOf(GetProcessId(early)), 0);

    // The test program itself is listed with its own name and path.
    const int self = IndexOf(GetCurrentProcessId());
    ASSERT_GE(self, 0);
    char ownPath[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    EXPECT_TRUE(SamePath(Snapshot().ExecutablePaths[self], ownPath))
        << Snapshot().ExecutablePaths[self];
    EXPECT_EQ(Snapshot().ImageNames[self], ImageNameFromExeFile(ownPath));

    TerminateProcess(early, 1);
    ASSERT_TRUE(Ended(early, kGenerousMs));
    HANDLE late = start(copyScanner("second copy", "later.exe"));
    ASSERT_TRUE(late);

    TakeProcessSnapshot();
    ASSERT_TRUE(listsAgree());
    EXPECT_LT(Snapshot().ImageNames.size(), firstCount * 2);
    EXPECT_EQ(IndexOf(GetProcessId(early)), -1);
    EXPECT_FALSE(IsProcessRunning("victim.exe"));
    const int lateIndex = IndexOf(GetProcessId(late));
    ASSERT_GE(lateIndex, 0);
    EXPECT_EQ(Snapshot().ImageNames[lateIndex], "later.exe");
    EXPECT_EQ(FindProcess("later.exe"), lateIndex);
}

}  // namespace
}  // namespace tolvar
