#pragma once

// Turns the scanner's report, chunk by chunk, into the visible state of a
// running scan: the item being scanned, the clean-item count, the detections
// and a progress estimate. The scanner gives no total, so progress is guessed
// from folders: every folder it enters is listed once more here and its
// subfolders join the folder list whose length is the denominator.
//
// Everything runs on the user-interface thread. The parser only keeps state;
// what it found is shown by whoever owns the page, on a timer, so that a
// report of millions of lines costs no window call per line. The folder
// listing is reached through the interface below so that the rules run (and
// are tested) without Windows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/infection_record.h"
#include "scan/folder_lister.h"

namespace tolvar {

// Calls line(text) for every complete line of pending, without its
// terminator, and removes those lines; an unfinished last line stays for the
// next chunk. A line ends at a carriage return or a line feed; one line feed
// right after a terminator belongs to it (CR LF, LF LF), a second carriage
// return does not and ends an empty line.
template <typename LineFn>
void ForEachCompleteLine(std::string& pending, LineFn&& line) {
    const std::string_view text = pending;
    const std::size_t length = text.size();
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        line(text.substr(consumed, i - consumed));
        consumed = i + 1;
        if (consumed < length && text[consumed] == '\n') {
            ++consumed;
            ++i;
        }
    }
    pending.erase(0, consumed);
}

// x (a percentage, 0 to 100) as the page shows it, without the "%": first
// rounded to four significant digits, then shown with two decimals, a
// decimal half rounding up. 12.5 gives "12.50", 1.12496 gives "1.13"
// (through 1.125).
std::string PercentText(double x, char decimalSeparator);

class ReportParser {
public:
    explicit ReportParser(FolderLister& lister);

    // The user's decimal separator for the percentage; '.' until set.
    void SetDecimalSeparator(char separator) { decimalSeparator_ = separator; }
    char DecimalSeparator() const { return decimalSeparator_; }
    // The code page of report lines that are not UTF-8: the system's OEM
    // code page, in which clamscan.exe before 1.5 writes its report; 437
    // until set.
    void SetReportCodePage(unsigned codePage) { reportCodePage_ = codePage; }
    // The program's own folders (the vault and the database folder, as
    // named and as finally reached): a detection inside one is no finding,
    // it is a copy or a signature kept on purpose. Nothing else is: the
    // rest of the data folder holds nothing infected of the program's, so a
    // detection there is the user's.
    void SetOwnFolders(const std::vector<std::string>& folders);

    // Starts the per-scan state over. The targets are kept as given, even
    // repeated ones; the infection table keeps what an earlier scan left.
    void BeginScan(std::vector<std::string> targets);

    // Parses every complete line of pending and removes it; an unfinished
    // last line stays for the next chunk.
    void AssembleLines(std::string& pending);
    // One line as the scanner wrote it: UTF-8 when it is valid UTF-8,
    // otherwise text in the report's code page.
    void ParseReportLine(std::string_view line);
    void AdvanceProgress();
    void AddSubfolders(const std::string& folder);
    void AddFolder(const std::string& path);
    void AddInfection(const InfectionRecord& record);

    // An engine that answers file by file (clamd) reports through these
    // instead of report lines: the same counting, the same infection table
    // and the same own-folder rule as the lines, and each file shown in the
    // status line. Its progress is exact (answered over found), never the
    // estimate from folders, and no folder is listed for it.
    void FileClean(std::string_view path);
    void FileFound(std::string_view path, std::string_view signature);
    // A file answered without a verdict (unread, excluded): shown only.
    void FileAnswered(std::string_view path);
    void SetExactProgress(std::uint64_t answered, std::uint64_t found);

    const std::vector<std::string>& FolderList() const { return folderList_; }
    std::int32_t ItemsScanned() const { return itemsScanned_; }
    std::int32_t FoldersVisited() const { return foldersVisited_; }
    const std::string& CurrentFolder() const { return currentFolder_; }
    // The true number of detections of this scan, which may exceed the table.
    std::int32_t InfectionCount() const { return infectionCount_; }
    // How many leading slots of the table belong to this scan.
    int StoredInfections() const;
    const InfectionTable& Table() const { return table_; }
    InfectionTable& MutableTable() { return table_; }
    // After a removal run has moved the detections away.
    void ClearInfections() { infectionCount_ = 0; }
    // The last line of this scan that began with "ERROR:", or "".
    const std::string& LastErrorLine() const { return lastErrorLine_; }

    // Report lines parsed in this scan; a change tells that the status line
    // has news.
    std::uint64_t LinesParsed() const { return linesParsed_; }
    // The path on the last report line (cut to 255 bytes at a character
    // boundary; empty for a line without one).
    const std::string& LastPath() const { return lastPath_; }
    // The status line for the last report line: "Scanning: " and the path's
    // last 64 characters (never part of one).
    std::string StatusText() const;
    // The estimated percentage, 0 to 100, once the first folder change has
    // set it; nothing before.
    const std::optional<double>& Percent() const { return percent_; }
    // The percentage as its label shows it ("12.50%"), and as the bar's whole
    // value (a half rounds to the even neighbour).
    std::string PercentLabel() const;
    int ProgressValue() const;

private:
    void ParseDecodedLine(std::string_view line);
    void AddDetection(std::string_view path, std::string_view name);

    FolderLister& lister_;
    char decimalSeparator_ = '.';
    unsigned reportCodePage_ = 437;
    std::vector<std::string> ownFolders_;  // as ComparablePath gives them
    std::string decoded_;                  // the last line that needed decoding

    std::vector<std::string> folderList_;
    std::string lastErrorLine_;
    // A whole-disk scan discovers hundreds of thousands of folders, so the
    // duplicate check must not walk the list. An open-addressing table of
    // positions in folderList_ (at most half full) settles a lookup with
    // about one probe into a compact array and keeps each path stored only
    // once; a node-based set pays several cache misses per lookup at these
    // sizes and measured five times slower at 200,000 folders.
    struct FolderSlot {
        std::uint32_t tag;       // high bits of the path's hash
        std::uint32_t position;  // in folderList_, plus one; 0 for a free slot
    };
    std::vector<FolderSlot> folderIndex_;
    std::size_t ProbeFolder(std::string_view path, std::size_t hash) const;
    void RebuildFolderIndex(std::size_t slots);

    std::int32_t itemsScanned_ = 0;
    std::int32_t foldersVisited_ = 0;
    std::string currentFolder_;
    std::int32_t infectionCount_ = 0;
    InfectionTable table_{};

    std::uint64_t linesParsed_ = 0;
    std::string lastPath_;
    std::optional<double> percent_;
};

}  // namespace tolvar
