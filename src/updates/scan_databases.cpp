#include "updates/scan_databases.h"

#include "core/ascii_text.h"

namespace tolvar {

std::vector<std::string> ChooseScanDatabases(const std::vector<DatabaseFileFound>& found) {
    std::vector<std::string> chosen;
    for (const char* database : {"main", "daily", "bytecode"}) {
        const DatabaseFileFound* best = nullptr;
        // .cld second: on equal versions the patched file, which the
        // updater keeps up to date, wins.
        for (const char* extension : {".cvd", ".cld"}) {
            const std::string name = std::string(database) + extension;
            for (const DatabaseFileFound& file : found) {
                if (!EqualIgnoringCase(file.name, name) || !file.version) continue;
                if (!best || *file.version >= *best->version) best = &file;
            }
        }
        if (best) chosen.push_back(best->name);
    }
    return chosen;
}

}  // namespace tolvar
