#pragma once

// The running processes as the removal run sees them, and the helpers that
// end the ones that hold an infected file open so it can be moved into the
// vault. Everything here runs on the UI thread.

#include <string>
#include <vector>

namespace tolvar {

// Parallel lists in the order the system reports the processes; all three
// always have the same length and come from one listing.
struct ProcessSnapshot {
    std::vector<std::string> ImageNames;
    std::vector<std::string> ProcessIds;  // decimal text
    // The full path of each process's executable; "" when the process could
    // not be opened to ask (system processes, other users' processes).
    std::vector<std::string> ExecutablePaths;
};

// One listing for the whole program; empty until first taken.
ProcessSnapshot& Snapshot();

// Replaces Snapshot() with the processes running now. Without the tool-help
// functions of kernel32.dll the listing stays empty.
void TakeProcessSnapshot();

// Exact, case-sensitive image-name lookups in Snapshot(); the first equal
// name wins. FindProcess gives its index, or -1.
bool IsProcessRunning(const std::string& imageName);
int FindProcess(const std::string& imageName);

// Ends the first process in Snapshot() with this exact image name, unless the
// name is the program's own (in any case). Whether it ended is not known.
// It goes by name alone, so it can hit an unrelated program that shares the
// name; the removal run uses KillInfectedProcess instead.
void KillProcessByName(const std::string& imageName);

// Ends every process in Snapshot() whose executable is the file at
// infectedFilePath, with paths compared as Windows compares them (full, long
// form, case ignored). A process whose path could not be read, or whose image
// name is the program's own, is left alone. Waits a bounded time for each to
// go, since the caller moves the file next. True when one was ended.
bool KillInfectedProcess(const std::string& infectedFilePath);

}  // namespace tolvar
