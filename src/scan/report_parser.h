#pragma once

// Turns the scanner's report, chunk by chunk, into the visible state of a
// running scan: the item being scanned, the clean-item count, the detections
// and a progress estimate. The scanner gives no total, so progress is guessed
// from folders: every folder it enters is listed once more here and its
// subfolders join the folder list whose length is the denominator.
//
// Everything runs on the user-interface thread; the window and the folder
// listing are reached through the two interfaces below so that the rules run
// (and are tested) without Windows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/infection_record.h"

namespace tolvar {

class FolderLister {
public:
    virtual ~FolderLister() = default;

    struct Entry {
        std::string name;
        // Windows FILE_ATTRIBUTE_* bits: 0x10 directory, 0x01 read-only,
        // 0x02 hidden, 0x04 system, 0x20 archive ...
        std::uint32_t attributes;
    };

    // Every entry matching the wildcard pattern, hidden and system ones
    // included. A listing that fails simply yields no entries.
    virtual void List(const std::string& pattern,
                      const std::function<void(const Entry&)>& each) = 0;
};

class ScanDisplay {
public:
    virtual ~ScanDisplay() = default;

    virtual void SetStatusText(const std::string& text) = 0;          // Label10
    virtual void SetPercentText(const std::string& text) = 0;         // Label11
    virtual void SetInfectionsText(const std::string& text) = 0;      // Label12
    virtual void SetItemsText(const std::string& text) = 0;           // Label40
    virtual void AddInfectionItem(const std::string& virusName) = 0;  // edtInfections
    // ProgressValue, 0 to 100, then a repaint of the bar.
    virtual void SetProgress(int value) = 0;
};

// x (a percentage, 0 to 100) as Label11 shows it, without the "%": first
// rounded to four significant digits, then shown with two decimals, a
// decimal half rounding up. 12.5 gives "12.50", 1.12496 gives "1.13"
// (through 1.125).
std::string PercentText(double x, char decimalSeparator);

class ReportParser {
public:
    ReportParser(FolderLister& lister, ScanDisplay& display);

    // The user's decimal separator for the percentage; '.' until set.
    void SetDecimalSeparator(char separator) { decimalSeparator_ = separator; }

    // Starts the per-scan state over. The targets are kept as given, even
    // repeated ones; the infection table keeps what an earlier scan left.
    void BeginScan(std::vector<std::string> targets);

    // Parses every complete line of pending and removes it; an unfinished
    // last line stays for the next chunk.
    void AssembleLines(std::string& pending);
    void ParseReportLine(std::string_view line);
    void AdvanceProgress();
    void AddSubfolders(const std::string& folder);
    void AddFolder(const std::string& path);
    void AddInfection(const InfectionRecord& record);

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

private:
    FolderLister& lister_;
    ScanDisplay& display_;
    char decimalSeparator_ = '.';

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

    // Label texts are rebuilt for every report line; keeping the buffers
    // spares an allocation per line.
    std::string statusText_;
    std::string itemsText_;
    std::string percentText_;
    std::string infectionsText_;
};

}  // namespace tolvar
