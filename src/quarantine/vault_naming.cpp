#include "quarantine/vault_naming.h"

#include <algorithm>
#include <cctype>

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

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

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
    if (!IsReservedVaultName(fileName) && !exists(candidate)) return candidate;

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

bool IsReservedVaultName(std::string_view fileName) {
    constexpr std::string_view kRecords = "records.gav";
    return SameLetters(fileName.substr(0, kRecords.size()), kRecords) &&
           (fileName.size() == kRecords.size() || fileName[kRecords.size()] == '.');
}

}  // namespace tolvar
