#pragma once

// Whether real-time protection is wanted, and the folders it watches, as
// stored in the registry subkey "watch": its default value holds the
// folders, one a line (the form of the excluded folders' list), and its
// DWORD "Enabled" the check box (missing or of another type: on). Until the
// user stores a list of their own, the watched folders are the user's
// Downloads, Desktop and Documents where the shell keeps them (redirected
// known folders included).

#include <string>
#include <vector>

namespace tolvar {

inline constexpr const char* kWatchSubkey = "watch";

bool RealtimeWanted();
void StoreRealtimeWanted(bool on);

// The stored list, or the defaults while none was stored. A stored empty
// list is kept: the user watches nothing.
std::vector<std::string> WatchedFolders();
void StoreWatchedFolders(const std::vector<std::string>& folders);

// The user's Downloads, Desktop and Documents folders, each once, those the
// shell cannot name left out.
std::vector<std::string> DefaultWatchedFolders();

}  // namespace tolvar
