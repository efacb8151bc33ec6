#pragma once

// Which database files the scanner loads: main, daily and bytecode, each as
// the .cvd the mirror publishes or the .cld the updater builds from patches.
// Of a pair the newer one counts (the updater leaves only one, but the
// program's own download may bring a .cvd beside an older .cld), and a file
// whose header is not a database's (a cut or damaged one) never: a scanner
// given a broken database loads none.

#include <optional>
#include <string>
#include <vector>

namespace tolvar {

struct DatabaseFileFound {
    std::string name;            // as the folder lists it
    std::optional<int> version;  // from its header; nothing when that is no database's
};

// The names to load, main first, then daily, then bytecode; found holds
// what the folder holds (names in any case, other files among them).
std::vector<std::string> ChooseScanDatabases(const std::vector<DatabaseFileFound>& found);

}  // namespace tolvar
