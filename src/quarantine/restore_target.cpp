#include "quarantine/restore_target.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace tolvar {

namespace {

constexpr std::size_t kLongestPath = 259;

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// Windows opens a device for these names in any folder, whatever extension
// follows them.
bool IsDeviceName(std::string_view name) {
    std::string base = Upper(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kFixed.begin(), kFixed.end(), base) != kFixed.end()) return true;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view number = std::string_view(base).substr(3);
    // COM1 to COM9 and the superscript digits 1, 2 and 3 (in UTF-8).
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

std::string StepProblem(std::string_view step) {
    if (step.empty()) return "it has an empty step";
    if (step == "." || step == "..") return "it has a \".\" or \"..\" step";
    for (unsigned char c : step) {
        if (c == ':') return "it names a stream of a file";
        if (c < 32 ||
            std::string_view("<>\"/|?*").find(static_cast<char>(c)) != std::string_view::npos) {
            return "it holds a character Windows does not allow in a name";
        }
    }
    if (step.back() == '.' || step.back() == ' ') return "a name in it ends with a dot or a space";
    if (IsDeviceName(step)) return "it names a device";
    return "";
}

}  // namespace

std::string RestoreTargetProblem(const std::string& path) {
    const bool drive = path.size() >= 4 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && path[2] == '\\';
    if (!drive) return "it is not a full path on a drive";
    if (path.size() > kLongestPath) return "it is too long";
    std::string_view rest = std::string_view(path).substr(3);
    for (;;) {
        const std::size_t slash = rest.find('\\');
        const std::string problem = StepProblem(rest.substr(0, slash));
        if (!problem.empty()) return problem;
        if (slash == std::string_view::npos) return "";
        rest.remove_prefix(slash + 1);
    }
}

}  // namespace tolvar
