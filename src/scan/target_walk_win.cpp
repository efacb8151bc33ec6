#include "scan/target_walk_win.h"

#include <windows.h>

#include "core/handles_win.h"
#include "core/reparse_tag.h"

namespace tolvar {

namespace {

std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

// Lists one folder: its files go to the walk, its subfolders onto the stack.
// False when the folder could not be listed.
bool ListFolder(const std::string& folder, std::vector<std::string>& stack,
                const TargetWalk& walk) {
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileExA((folder + "*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        // dwReserved0 holds the reparse tag of a reparse point.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            IsLinkTag(found.dwReserved0)) {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            stack.push_back(folder + name + "\\");
        } else {
            walk.file(folder + name);
        }
    } while (!walk.stopping() && FindNextFileA(find.get(), &found));
    return true;
}

}  // namespace

bool WalkTargets(const std::vector<std::string>& targets, const TargetWalk& walk) {
    bool allRead = true;
    for (const std::string& target : targets) {
        if (walk.stopping()) return allRead;
        const DWORD attributes = GetFileAttributesA(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            allRead = false;
            continue;
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            walk.file(target);
            continue;
        }
        // Depth first, one folder listed at a time, so that files reach the
        // engine from the first folder on.
        std::vector<std::string> stack{WithBackslash(target)};
        while (!stack.empty() && !walk.stopping()) {
            const std::string folder = std::move(stack.back());
            stack.pop_back();
            if (!ListFolder(folder, stack, walk)) allRead = false;
        }
    }
    return allRead;
}

}  // namespace tolvar
