#include "scan/report_parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <system_error>
#include <utility>

#include "core/code_pages.h"
#include "core/path_compare.h"
#include "core/short_string.h"
#include "core/utf8_text.h"
#include "scan/report_paths.h"

namespace tolvar {
namespace {

constexpr std::size_t kStatusTail = 64;
constexpr std::size_t kFewestFolderSlots = 1024;
constexpr std::uint32_t kDirectoryOnly = 0x10;

// Counters are signed 32-bit like the history records that store them; a
// scan long enough to reach the limit stays there instead of wrapping.
void CountOne(std::int32_t& counter) {
    if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

void AppendNumber(std::string& text, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

// The folder is kept without its closing backslash, except where dropping it
// would change what it names: "C:\" is the root while "C:" is the drive's
// current folder, and "\\" opens a network path.
std::string_view FolderOf(std::string_view path) {
    const std::size_t last = path.find_last_of("\\:");
    if (last == std::string_view::npos) return {};
    std::string_view folder = path.substr(0, last + 1);
    if (path[last] == '\\' && last != 0 && path[last - 1] != '\\' && path[last - 1] != ':') {
        folder.remove_suffix(1);
    }
    return folder;
}

std::size_t HashPath(std::string_view path) {
    return std::hash<std::string_view>{}(path);
}

// The slot index comes from the low bits of the hash, so the tag takes the
// high ones: a tag match then nearly always means the same path.
std::uint32_t TagOf(std::size_t hash) {
    return static_cast<std::uint32_t>(hash >> (std::numeric_limits<std::size_t>::digits - 32));
}

// Exact halves (12.5 is exact in binary) go to the even neighbour, as the
// default floating-point rounding does; done by hand so that a rounding mode
// changed by some loaded library cannot move the bar.
int RoundHalfToEven(double x) {
    const double whole = std::floor(x);
    const double fraction = x - whole;
    auto rounded = static_cast<long long>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && rounded % 2 != 0)) ++rounded;
    return static_cast<int>(rounded);
}

}  // namespace

std::string PercentText(double x, char decimalSeparator) {
    // Four significant digits as "d.ddde±x": rounding them to hundredths is
    // then done on exact decimal digits, so a half rounds up the same way on
    // every C runtime.
    char buffer[32];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 3);
    std::string_view text(buffer, static_cast<std::size_t>(written.ptr - buffer));
    long long mantissa = 0;  // the four digits, 1000 to 9999 (0 for zero)
    for (const char ch : text.substr(0, text.find('e'))) {
        if (ch >= '0' && ch <= '9') mantissa = mantissa * 10 + (ch - '0');
    }
    int exponent = 0;
    const std::string_view exponentText = text.substr(text.find('e') + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);

    // The value is mantissa * 10^(exponent - 3); in hundredths that is
    // mantissa * 10^(exponent - 1).
    long long hundredths = mantissa;
    if (exponent >= 1) {
        for (int i = 1; i < exponent; ++i)
            hundredths *= 10;
    } else if (1 - exponent > 4) {
        hundredths = 0;  // below 0.005: four digits cannot reach a hundredth
    } else {
        long long divisor = 1;
        for (int i = exponent; i < 1; ++i)
            divisor *= 10;
        hundredths = mantissa / divisor;
        if ((mantissa % divisor) * 2 >= divisor) ++hundredths;
    }

    std::string shown;
    AppendNumber(shown, hundredths / 100);
    shown += decimalSeparator;
    shown += static_cast<char>('0' + hundredths % 100 / 10);
    shown += static_cast<char>('0' + hundredths % 10);
    return shown;
}

ReportParser::ReportParser(FolderLister& lister) : lister_(lister) {}

void ReportParser::BeginScan(std::vector<std::string> targets) {
    folderList_ = std::move(targets);
    std::size_t slots = kFewestFolderSlots;
    while (slots < 2 * folderList_.size())
        slots *= 2;
    RebuildFolderIndex(slots);
    itemsScanned_ = 0;
    lastErrorLine_.clear();
    foldersVisited_ = 0;
    currentFolder_.clear();
    infectionCount_ = 0;
    linesParsed_ = 0;
    lastPath_.clear();
    percent_.reset();
}

void ReportParser::AssembleLines(std::string& pending) {
    ForEachCompleteLine(pending, [this](std::string_view line) { ParseReportLine(line); });
}

void ReportParser::SetOwnFolders(const std::vector<std::string>& folders) {
    ownFolders_.clear();
    for (const std::string& folder : folders) {
        if (!folder.empty()) ownFolders_.push_back(ComparablePath(folder));
    }
}

void ReportParser::ParseReportLine(std::string_view line) {
    if (IsValidUtf8(line)) {
        ParseDecodedLine(line);
        return;
    }
    decoded_ = CodePageToUtf8(line, reportCodePage_);
    ParseDecodedLine(decoded_);
}

void ReportParser::ParseDecodedLine(std::string_view line) {
    // The scanner's own complaints, kept for the report of a scan that
    // could not be done.
    if (line.substr(0, 6) == "ERROR:") lastErrorLine_.assign(Utf8PrefixOfBytes(line, 255));
    const std::size_t separator = line.find(": ");
    std::string_view fullPath;
    std::string_view path;
    if (separator != std::string_view::npos) {
        fullPath = line.substr(0, separator);
        path = Utf8PrefixOfBytes(fullPath, InfectionRecord::kFilePathCapacity);
    }

    const std::string_view folder = FolderOf(path);
    if (folder != currentFolder_) {
        currentFolder_.assign(folder);
        AdvanceProgress();
    }

    if (separator != std::string_view::npos) {
        const std::size_t nameStart = separator + 2;
        const std::size_t found = line.find("FOUND", nameStart);
        if (found != std::string_view::npos) {
            AddDetection(fullPath, line.substr(nameStart, found - nameStart));
        }
        // ": OK" holds ": ", so it cannot occur before the first one.
        if (line.find(": OK", separator) != std::string_view::npos) CountOne(itemsScanned_);
    }

    ++linesParsed_;
    lastPath_.assign(path);
}

void ReportParser::AddDetection(std::string_view path, std::string_view name) {
    // The vault holds infected copies on purpose, and the database folder
    // the signatures that describe them; listing them would offer to remove
    // what was removed. Any other folder, whatever its name, is the user's.
    if (!ownFolders_.empty()) {
        const std::string comparable = ComparablePath(path);
        for (const std::string& own : ownFolders_) {
            if (LiesInside(comparable, own)) return;
        }
    }
    InfectionRecord record;
    // A name written with "?" for characters the report's code page lacks
    // is mended from its folder when exactly one file fits; otherwise it
    // stays as written and, naming no file, is never acted upon.
    const std::optional<std::string> resolved = ResolveUnknownCharacters(path, lister_);
    // A path too long for the field is cut so that it names no file: listed
    // and counted, never acted upon.
    record.FilePath = CutToFieldMarked(resolved ? std::string_view(*resolved) : path,
                                       InfectionRecord::kFilePathCapacity);
    record.VirusName = CutToField(name, InfectionRecord::kVirusNameCapacity);
    AddInfection(record);
}

void ReportParser::FileClean(std::string_view path) {
    CountOne(itemsScanned_);
    FileAnswered(path);
}

void ReportParser::FileFound(std::string_view path, std::string_view signature) {
    // The name as a report line gives it, up to "FOUND" with its blank, so
    // that the records read the same whichever engine scanned.
    std::string name(signature);
    name += ' ';
    AddDetection(path, name);
    FileAnswered(path);
}

void ReportParser::FileAnswered(std::string_view path) {
    ++linesParsed_;
    lastPath_.assign(Utf8PrefixOfBytes(path, InfectionRecord::kFilePathCapacity));
}

void ReportParser::SetExactProgress(std::uint64_t answered, std::uint64_t found) {
    if (found == 0) return;
    percent_ = static_cast<double>(std::min(answered, found)) / static_cast<double>(found) * 100.0;
}

std::string ReportParser::StatusText() const {
    const std::string_view path = lastPath_;
    std::string text = "Scanning: ";
    text.append(Utf8LastChars(path, kStatusTail));
    return text;
}

std::string ReportParser::PercentLabel() const {
    return PercentText(percent_.value_or(0.0), decimalSeparator_) + '%';
}

int ReportParser::ProgressValue() const {
    return RoundHalfToEven(percent_.value_or(0.0));
}

void ReportParser::AdvanceProgress() {
    CountOne(foldersVisited_);
    // Listing the empty folder would list the working folder instead.
    if (!currentFolder_.empty()) AddSubfolders(currentFolder_);

    // The list can outgrow its guess: once the folders visited catch up with
    // it, the estimate settles below the finish rather than claiming it.
    double x = 100.0;
    if (!folderList_.empty()) {
        x = static_cast<double>(foldersVisited_) / static_cast<double>(folderList_.size()) * 100.0;
    }
    if (x >= 100.0) x = 73.01;
    percent_ = x;
}

void ReportParser::AddSubfolders(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    lister_.List(base + "*.*", [&](const FolderLister::Entry& entry) {
        std::string path = base + entry.name;
        if (entry.attributes == kDirectoryOnly) {
            if (entry.name == "." || entry.name == "..") return;
        } else {
            // Any other attribute set, files included, is taken for a folder
            // only when its name has no extension.
            const std::size_t nameStart = path.find_last_of("\\:");
            const std::size_t dot = path.rfind('.');
            if (dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart)) {
                return;
            }
        }
        path += '\\';
        AddFolder(path);
    });
}

void ReportParser::AddFolder(const std::string& path) {
    const std::size_t hash = HashPath(path);
    FolderSlot& slot = folderIndex_[ProbeFolder(path, hash)];
    if (slot.position != 0) return;
    folderList_.push_back(path);
    slot = {TagOf(hash), static_cast<std::uint32_t>(folderList_.size())};
    if (2 * folderList_.size() > folderIndex_.size()) RebuildFolderIndex(2 * folderIndex_.size());
}

std::size_t ReportParser::ProbeFolder(std::string_view path, std::size_t hash) const {
    const std::size_t mask = folderIndex_.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const FolderSlot& slot = folderIndex_[i];
        if (slot.position == 0) return i;
        if (slot.tag == tag && folderList_[slot.position - 1] == path) return i;
    }
}

void ReportParser::RebuildFolderIndex(std::size_t slots) {
    folderIndex_.assign(slots, FolderSlot{0, 0});
    for (std::size_t i = 0; i < folderList_.size(); ++i) {
        const std::size_t hash = HashPath(folderList_[i]);
        FolderSlot& slot = folderIndex_[ProbeFolder(folderList_[i], hash)];
        // A target given twice keeps its first position; the lookup only
        // needs to know the path is there.
        if (slot.position == 0) slot = {TagOf(hash), static_cast<std::uint32_t>(i + 1)};
    }
}

void ReportParser::AddInfection(const InfectionRecord& record) {
    CountOne(infectionCount_);
    // Beyond the table the detection is still counted (the label and the
    // history show the true number) but neither stored nor listed.
    if (static_cast<std::size_t>(infectionCount_) <= table_.size()) {
        table_[static_cast<std::size_t>(infectionCount_) - 1] = record;
    }
}

int ReportParser::StoredInfections() const {
    return static_cast<int>(std::min(static_cast<std::size_t>(infectionCount_), table_.size()));
}

}  // namespace tolvar
