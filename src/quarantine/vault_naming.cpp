#include "quarantine/vault_naming.h"

#include "core/infection_record.h"

namespace tolvar {

namespace {

constexpr int kRandomDraws = 100;
constexpr int kLargestRandomPrefix = 9999;
// Past the random prefixes' range, so that a vault holding all of them still
// finds a name; bounded so that a file system answering "taken" to
// everything cannot keep the removal run here for ever.
constexpr int kCounterNames = 100000;
constexpr std::size_t kLongestPath = InfectionRecord::kVaultPathCapacity;

bool NamesAFileInTheFolder(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string::npos;
}

}  // namespace

std::string ChooseVaultPath(const std::string& vaultFolder, const std::string& fileName,
                            const std::function<bool(const std::string&)>& exists,
                            const std::function<int(int lo, int hi)>& randomInt) {
    if (!NamesAFileInTheFolder(fileName)) return "";
    const std::string candidate = vaultFolder + fileName;
    // Every other name is longer still.
    if (candidate.size() > kLongestPath) return "";
    if (!exists(candidate)) return candidate;

    // A single draw is not enough: names with a prefix clash too once the
    // same file name has been removed a few times.
    for (int draw = 0; draw < kRandomDraws; ++draw) {
        const std::string path =
            vaultFolder + std::to_string(randomInt(0, kLargestRandomPrefix)) + fileName;
        if (path.size() <= kLongestPath && !exists(path)) return path;
    }

    for (int n = 0; n < kCounterNames; ++n) {
        const std::string path = vaultFolder + std::to_string(n) + fileName;
        if (path.size() > kLongestPath) break;  // larger numbers are no shorter
        if (!exists(path)) return path;
    }
    return "";
}

}  // namespace tolvar
