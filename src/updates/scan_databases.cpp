#include "updates/scan_databases.h"

#include "core/ascii_text.h"
#include "updates/database_header.h"

namespace tolvar {

std::optional<int> CountedVersion(std::string_view name, std::string_view header,
                                  std::uint64_t fileSize) {
    const std::optional<DatabaseHeader> parsed = ReadDatabaseHeader(header, fileSize);
    if (!parsed) return std::nullopt;
    const bool published =
        name.size() >= 4 && EqualIgnoringCase(name.substr(name.size() - 4), ".cvd");
    if (published && !parsed->bodyMd5) return std::nullopt;
    return parsed->version;
}

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
    if (chosen.empty()) return chosen;
    for (const DatabaseFileFound& file : found) {
        if (file.size == 0) continue;
        if (EqualIgnoringCase(file.name, kIgnoreListFile)) chosen.insert(chosen.begin(), file.name);
        if (EqualIgnoringCase(file.name, kAllowListFile)) chosen.push_back(file.name);
    }
    return chosen;
}

}  // namespace tolvar
