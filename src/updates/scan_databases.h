#pragma once

// Which database files the scanner loads: main, daily and bytecode, each as
// the .cvd the mirror publishes or the .cld the updater builds from patches.
// Of a pair the newer one counts (the updater leaves only one, but the
// program's own download may bring a .cvd beside an older .cld), and a file
// the scanner would refuse (a cut or damaged one) never: a scanner given a
// broken database loads none.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

struct DatabaseFileFound {
    std::string name;            // as the folder lists it
    std::optional<int> version;  // from its header; nothing when that is no database's
    std::uint64_t size = 0;
};

// The user's own lists beside the signatures, in ClamAV's own formats: files
// allowed by their content (lines "<MD5>:<size>:<name>") and detection names
// ignored (one a line). clamd reads them from its database folder at each
// (re)load; clamscan is given them by name.
inline constexpr const char* kAllowListFile = "local.fp";
inline constexpr const char* kIgnoreListFile = "local.ign2";

// The version a database file named name counts with, from its first bytes
// (header, up to 512) and its size: nothing when the header is no
// database's, or when a .cvd lacks its MD5 and signature (ClamAV checks a
// .cvd's signature and then loads nothing at all; only a .cld may carry "X"
// there).
std::optional<int> CountedVersion(std::string_view name, std::string_view header,
                                  std::uint64_t fileSize);

// The names to load, main first, then daily, then bytecode; found holds
// what the folder holds (names in any case, other files among them). With
// at least one of those, the ignore list comes first (ClamAV drops an
// ignored signature as it loads it, so a list loaded after it ignores
// nothing) and the allow list last; an empty allow list never (ClamAV
// calls it malformed and loads no database at all).
std::vector<std::string> ChooseScanDatabases(const std::vector<DatabaseFileFound>& found);

}  // namespace tolvar
