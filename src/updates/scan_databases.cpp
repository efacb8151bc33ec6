#include "updates/scan_databases.h"

#include <cctype>

namespace tolvar {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> ChooseScanDatabases(const std::vector<DatabaseFileFound>& found) {
    std::vector<std::string> chosen;
    for (const char* database : {"main", "daily", "bytecode"}) {
        const DatabaseFileFound* best = nullptr;
        // .cld second: on equal versions the patched file, which the
        // updater keeps up to date, wins.
        for (const char* extension : {".cvd", ".cld"}) {
            const std::string name = std::string(database) + extension;
            for (const DatabaseFileFound& file : found) {
                if (!SameName(file.name, name) || !file.version) continue;
                if (!best || *file.version >= *best->version) best = &file;
            }
        }
        if (best) chosen.push_back(best->name);
    }
    return chosen;
}

}  // namespace tolvar
