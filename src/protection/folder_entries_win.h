#pragma once

// What the folder watch asks the file system about folders: a folder's
// identity (which path leads to it does not matter), its entries for the
// walks, and times as FILETIME ticks.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles_win.h"
#include "protection/changed_files_walk.h"

namespace tolvar {

std::uint64_t Ticks(const FILETIME& time);
// The system's time now, in FILETIME ticks.
std::uint64_t NowTicks();
// folder and a name in it as one path ("D:\" and "a" as "D:\a").
std::string Join(const std::string& folder, std::string_view name);
// A folder opened for change notices (overlapped); nothing when it cannot
// be opened.
UniqueHandle OpenFolder(const std::string& folder);
// The folder's volume serial number and file index; nothing when it cannot
// be opened or is no folder.
std::optional<std::string> IdentityOf(const std::string& folder);
// The folder's entries; nothing when it cannot be read.
std::vector<ListedEntry> ListFolderEntries(const std::string& folder);

}  // namespace tolvar
