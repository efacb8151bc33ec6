// The scanner report parser: lines cut from chunks, detections and clean
// items, the folder-based progress estimate, and the command line that the
// scanner must split back into exactly the intended paths.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "scan/excluded_folders.h"
#include "scan/report_parser.h"
#include "scan/report_paths.h"
#include "scan/scanner_command.h"
#include "scan/scanner_exit.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

struct FakeLister : FolderLister {
    std::map<std::string, std::vector<Entry>> byPattern;
    Strings patterns;
    void List(const std::string& pattern, const std::function<void(const Entry&)>& each) override {
        patterns.push_back(pattern);
        for (const Entry& e : byPattern[pattern])
            each(e);
    }
};

struct Parser : testing::Test {
    FakeLister lister;
    ReportParser parser{lister};

    void Parse(const Strings& lines) {
        for (const std::string& line : lines)
            parser.ParseReportLine(line);
    }
};

// The lines the assembler cuts from a sequence of chunks.
Strings LinesOf(const Strings& chunks, std::string& pending) {
    Strings lines;
    for (const std::string& chunk : chunks) {
        pending += chunk;
        ForEachCompleteLine(pending, [&](std::string_view line) { lines.emplace_back(line); });
    }
    return lines;
}

TEST(AssembleLines, TerminatorsAcrossChunksGiveTheRightLines) {
    struct Case {
        Strings chunks;
        Strings lines;
    };
    const Case cases[] = {
        {{"C:\\a: OK\r\n"}, {"C:\\a: OK"}},
        // The CR's line feed arrives only with the next chunk: an empty line.
        {{"C:\\a: OK\r", "\nC:\\b: OK\n"}, {"C:\\a: OK", "", "C:\\b: OK"}},
        {{"C:\\a: OK\n\nC:\\b: OK\n"}, {"C:\\a: OK", "C:\\b: OK"}},
        {{"C:\\a: OK\r\rC:\\b: OK\n"}, {"C:\\a: OK", "", "C:\\b: OK"}},
        // Only one line feed belongs to a terminator.
        {{"C:\\a: OK\r\n\nC:\\b: OK\n"}, {"C:\\a: OK", "", "C:\\b: OK"}},
    };
    for (const Case& c : cases) {
        std::string pending;
        EXPECT_EQ(LinesOf(c.chunks, pending), c.lines) << testing::PrintToString(c.chunks);
        EXPECT_EQ(pending, "");
    }
}

TEST_F(Parser, ChunkEndingMidLineWaitsForTheRest) {
    std::string pending = "C:\\a: OK\r\nC:\\b: O";
    parser.AssembleLines(pending);
    EXPECT_EQ(parser.LinesParsed(), 1u);
    EXPECT_EQ(parser.LastPath(), "C:\\a");
    EXPECT_EQ(pending, "C:\\b: O");
    pending += "K\r\n";
    parser.AssembleLines(pending);
    EXPECT_EQ(parser.LinesParsed(), 2u);
    EXPECT_EQ(parser.LastPath(), "C:\\b");
    EXPECT_EQ(parser.ItemsScanned(), 2);
}

TEST_F(Parser, DetectionKeepsPathAndNameWithItsTrailingBlank) {
    parser.BeginScan({"C:\\"});
    Parse({"C:\\Users\\Ann\\eicar.com: Win.Test.EICAR_HDB-1 FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 1);
    EXPECT_EQ(parser.Table()[0],
              (InfectionRecord{"", "C:\\Users\\Ann\\eicar.com", "Win.Test.EICAR_HDB-1 "}));
    EXPECT_EQ(parser.StoredInfections(), 1);
    EXPECT_EQ(parser.ItemsScanned(), 0);
}

TEST_F(Parser, FoundBeforeTheSeparatorIsPartOfThePathNotADetection) {
    Parse({"C:\\FOUND.000\\FILE0000.CHK: OK", "C:\\FOUND.001\\x.exe: Eicar FOUND"});
    EXPECT_EQ(parser.ItemsScanned(), 1);
    // Searching from the line's start would take FOUND.001 and a bogus name.
    ASSERT_EQ(parser.InfectionCount(), 1);
    EXPECT_EQ(parser.Table()[0].VirusName, "Eicar ");
}

// Guards against hiding real detections: only the program's own folders
// (the vault, which keeps infected copies, and the database folder) are
// passed over, compared as paths, as named or as finally reached; not the
// rest of the data folder, where programs without administrator rights once
// could hide what they liked, nor any folder that happens to be called
// "Mirebrook".
TEST_F(Parser, OnlyDetectionsInsideTheVaultAndTheDatabaseFolderArePassedOver) {
    parser.SetOwnFolders({"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\",
                          "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\db\\",
                          "\\\\?\\D:\\Redirected\\Mirebrook\\virus_vault"});
    Parse({"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\1.vir: Eicar FOUND",
           "c:\\users\\ANN\\appdata\\roaming\\MIREBROOK\\db\\x.exe: Eicar FOUND",
           "\\\\?\\C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\db\\main.cvd: Eicar FOUND",
           "D:\\Redirected\\Mirebrook\\virus_vault\\2.vir: Eicar FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 0);
    // The lines still count as ones the page shows.
    EXPECT_EQ(parser.LinesParsed(), 4u);
    EXPECT_EQ(parser.StatusText(), "Scanning: D:\\Redirected\\Mirebrook\\virus_vault\\2.vir");

    Parse({"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\x.exe: Eicar FOUND",
           "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault2\\v.exe: Eicar FOUND",
           "D:\\Mirebrook\\x.exe: Eicar FOUND",
           "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook2\\y.exe: Eicar FOUND",
           "D:\\Mirebrook Downloads\\z.exe: Eicar FOUND", "Mirebrook\\w.exe: Eicar FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 6);
    EXPECT_EQ(parser.Table()[0].FilePath, "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\x.exe");
    EXPECT_EQ(parser.Table()[1].FilePath,
              "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault2\\v.exe");
}

// Guards against the two engines disagreeing: a file answered by clamd
// counts, is listed and passes over the vault exactly as the same verdict's
// report line does, without listing a single folder, and its progress is
// the share of the files found that are answered.
TEST_F(Parser, FileResultsCountAsTheirReportLinesWithExactProgress) {
    parser.SetOwnFolders({"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\"});
    FakeLister other;
    ReportParser report{other};
    report.SetOwnFolders({"C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\"});
    for (ReportParser* p : {&parser, &report})
        p->BeginScan({"C:\\"});
    report.ParseReportLine("C:\\a\\clean.txt: OK");
    report.ParseReportLine("C:\\a\\b.exe: Eicar-Test-Signature FOUND");
    report.ParseReportLine(
        "C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\1.vir: Eicar-Test-Signature "
        "FOUND");

    EXPECT_FALSE(parser.Percent());
    parser.FileClean("C:\\a\\clean.txt");
    parser.FileFound("C:\\a\\b.exe", "Eicar-Test-Signature");
    parser.FileFound("C:\\Users\\Ann\\AppData\\Roaming\\Mirebrook\\virus_vault\\1.vir",
                     "Eicar-Test-Signature");
    parser.FileAnswered("C:\\a\\locked.dat");
    EXPECT_TRUE(lister.patterns.empty());
    EXPECT_EQ(parser.ItemsScanned(), report.ItemsScanned());
    ASSERT_EQ(parser.InfectionCount(), report.InfectionCount());
    EXPECT_EQ(parser.InfectionCount(), 1);
    EXPECT_EQ(parser.Table()[0].FilePath, report.Table()[0].FilePath);
    EXPECT_EQ(parser.Table()[0].VirusName, report.Table()[0].VirusName);
    EXPECT_EQ(parser.LinesParsed(), 4u);
    EXPECT_EQ(parser.StatusText(), "Scanning: C:\\a\\locked.dat");

    parser.SetExactProgress(1, 8);
    EXPECT_EQ(parser.PercentLabel(), "12.50%");
    parser.SetExactProgress(8, 8);
    EXPECT_EQ(parser.PercentLabel(), "100.00%");
}

TEST_F(Parser, LongPathsAndNamesAreCutBeforeUse) {
    // The folder's backslash lies past character 255, so the cut path has
    // only the root as its folder.
    const std::string path = "C:\\" + std::string(260, 'p') + "\\file.exe";
    const std::string name(60, 'n');
    Parse({path + ": " + name + " FOUND"});
    // Listed and counted, but cut so that it names no file.
    ASSERT_EQ(parser.InfectionCount(), 1);
    EXPECT_EQ(parser.Table()[0].FilePath, path.substr(0, 254) + "?");
    EXPECT_FALSE(IsRemovable(parser.Table()[0]));
    EXPECT_EQ(parser.Table()[0].VirusName, name.substr(0, 50));
    EXPECT_EQ(parser.CurrentFolder(), "C:\\");
    EXPECT_EQ(parser.StatusText(), "Scanning: " + path.substr(255 - 64, 64));

    const std::string hundred = "C:\\" + std::string(97, 'h');
    const std::string sixtyFour = "C:\\" + std::string(61, 's');
    Parse({hundred + ": OK"});
    EXPECT_EQ(parser.StatusText(), "Scanning: " + hundred.substr(36));
    Parse({sixtyFour + ": OK"});
    EXPECT_EQ(parser.StatusText(), "Scanning: " + sixtyFour);
    Parse({"no separator here"});
    EXPECT_EQ(parser.StatusText(), "Scanning: ");
    // Sixty-four characters, not bytes: the status never starts inside one.
    std::string tail;
    for (int i = 0; i < 64; ++i)
        tail += "\xD0\x96";
    Parse({"C:\\" + std::string(40, 'a') + tail + ": OK"});
    EXPECT_EQ(parser.StatusText(), "Scanning: " + tail);
}

// Guards against storing the scanner's OEM bytes as a name that does not
// exist: the report is decoded line by line as the scanner wrote it.
TEST_F(Parser, ReportLinesAreDecodedAsTheScannerWroteThem) {
    const std::string name = "C:\\Users\\zo\xC3\xAB\\Rechnung M\xC3\xA4rz.exe";
    // clamscan.exe 1.5 and later: UTF-8, taken as it is.
    Parse({name + ": Eicar FOUND"});
    // Before 1.5: the OEM code page; 850 and 437 agree on these letters.
    for (unsigned page : {850u, 437u}) {
        parser.SetReportCodePage(page);
        Parse({"C:\\Users\\zo\x89\\Rechnung M\x84rz.exe: Eicar FOUND"});
    }
    ASSERT_EQ(parser.InfectionCount(), 3);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(parser.Table()[i].FilePath, name) << i;
        EXPECT_TRUE(IsRemovable(parser.Table()[i])) << i;
    }

    // Where they differ, the page set decides.
    parser.SetReportCodePage(850);
    Parse({"C:\\\x9B.txt: OK"});
    EXPECT_EQ(parser.LastPath(), "C:\\\xC3\xB8.txt");
    parser.SetReportCodePage(437);
    Parse({"C:\\\x9B.txt: OK"});
    EXPECT_EQ(parser.LastPath(), "C:\\\xC2\xA2.txt");

    // Bytes that are no UTF-8 (a cut sequence) are OEM text too, and the
    // line still counts.
    Parse({"C:\\a\xC3(.txt: OK"});
    EXPECT_EQ(parser.LastPath(), "C:\\a\xE2\x94\x9C(.txt");
    EXPECT_EQ(parser.ItemsScanned(), 3);
}

// Guards against acting on a guess: a name the OEM scanner wrote with "?"
// is mended only when exactly one file of its folder fits.
TEST_F(Parser, UnknownCharactersResolvedOnlyAgainstExactlyOneFile) {
    const std::string invoice = "\xD1\x81\xD1\x87\xD1\x91\xD1\x82 \xE8\xAB\x8B\xE6\xB1\x82.com";
    const std::string zoya = "\xD0\x97\xD0\xBE\xD1\x8F";
    const std::string smiley = "\xF0\x9F\x98\x80.exe";
    lister.byPattern["D:\\Mirebrook Downloads\\*"] = {
        {".", 0x10}, {"..", 0x10}, {invoice, 0x20}, {"readme.txt", 0x20}};
    lister.byPattern["D:\\twins\\*"] = {{"ab.exe", 0x20}, {"ac.exe", 0x20}};
    lister.byPattern["C:\\Users\\*"] = {{zoya, 0x10}, {"Anna", 0x10}, {"Tom", 0x20}};
    lister.byPattern["C:\\Users\\" + zoya + "\\*"] = {{smiley, 0x20}};

    Parse({"D:\\Mirebrook Downloads\\???? ??.com: Eicar FOUND", "D:\\twins\\a?.exe: Eicar FOUND",
           "D:\\nowhere\\?.exe: Eicar FOUND", "C:\\Users\\???\\??.exe: Eicar FOUND",
           "C:\\Users\\???\\?.exe: Eicar FOUND", "?:\\x.exe: Eicar FOUND"});
    ASSERT_EQ(parser.InfectionCount(), 6);
    const InfectionTable& t = parser.Table();
    EXPECT_EQ(t[0].FilePath, "D:\\Mirebrook Downloads\\" + invoice);
    EXPECT_TRUE(IsRemovable(t[0]));
    // Two files fit, or none: listed and counted as written, never removed.
    EXPECT_EQ(t[1].FilePath, "D:\\twins\\a?.exe");
    EXPECT_FALSE(IsRemovable(t[1]));
    EXPECT_FALSE(IsRemovable(t[2]));
    // A folder along the path is mended too; a character past U+FFFF may
    // have been written as one "?" or as two.
    EXPECT_EQ(t[3].FilePath, "C:\\Users\\" + zoya + "\\" + smiley);
    EXPECT_EQ(t[4].FilePath, "C:\\Users\\" + zoya + "\\" + smiley);
    EXPECT_FALSE(IsRemovable(t[5]));

    EXPECT_TRUE(MatchesUnknownCharacters("a?c",
                                         "a\xC3\xBC"
                                         "c"));
    EXPECT_FALSE(MatchesUnknownCharacters("a?c", "abbc"));
    EXPECT_FALSE(MatchesUnknownCharacters("a?", "a"));
}

TEST_F(Parser, FolderOfEveryPathShape) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\dir\\sub\\f.txt: OK", "C:\\dir\\sub"},
        {"C:\\f.txt: OK", "C:\\"},
        {"C:f.txt: OK", "C:"},
        {"\\\\srv\\share\\f: OK", "\\\\srv\\share"},
        {"\\\\srv: OK", "\\\\"},
        {"\\f: OK", "\\"},
        {"Scanned files: 3", ""},
        {"no separator C:\\x\\y", ""},  // no path at all, whatever follows
    };
    for (const auto& [line, folder] : cases) {
        parser.ParseReportLine(line);
        EXPECT_EQ(parser.CurrentFolder(), folder) << line;
    }
}

TEST_F(Parser, PercentOfFoldersVisited) {
    // What the page shows after each line: the label and the bar.
    Strings percent;
    std::vector<int> bar;
    const auto parse = [&](const Strings& lines) {
        for (const std::string& line : lines) {
            parser.ParseReportLine(line);
            percent.push_back(parser.PercentLabel());
            bar.push_back(parser.ProgressValue());
        }
    };
    parser.BeginScan({"C:\\", "D:\\", "E:\\"});
    EXPECT_FALSE(parser.Percent().has_value());  // the label keeps its text until then
    parse({"C:\\a.txt: OK"});
    EXPECT_EQ(percent, Strings{"33.33%"});
    EXPECT_EQ(bar, std::vector<int>{33});

    parser.BeginScan(Strings(8, "X:\\"));
    EXPECT_FALSE(parser.Percent().has_value());
    parse({"C:\\1\\a: OK", "C:\\2\\a: OK", "C:\\3\\a: OK"});
    EXPECT_EQ(percent.at(1), "12.50%");
    // 12.5 and 37.5 are exact, so half-to-even shows.
    EXPECT_EQ(bar, (std::vector<int>{33, 12, 25, 38}));

    parser.SetDecimalSeparator(',');
    parser.BeginScan({"C:\\", "D:\\"});
    parse({"C:\\a\\x: OK", "C:\\b\\x: OK"});
    // Catching up with the list settles at 73.01, not 100.
    EXPECT_EQ(percent.back(), "73,01%");
    EXPECT_EQ(bar.back(), 73);

    parser.BeginScan({});  // no denominator at all must not divide by zero
    parse({"C:\\a: OK"});
    EXPECT_EQ(percent.back(), "73,01%");
}

TEST_F(Parser, ListedSubfoldersJoinTheDenominatorBeforeThePercent) {
    lister.byPattern["C:\\*.*"] = {{"a", 0x10}, {"b", 0x10}, {"c", 0x10}};
    parser.BeginScan({"C:\\"});
    Parse({"C:\\x.txt: OK"});
    EXPECT_EQ(parser.PercentLabel(), "25.00%");
}

TEST_F(Parser, SummaryLinesMoveToTheEmptyFolderOnceAndListNothing) {
    parser.BeginScan({"C:\\"});
    Parse({"C:\\d\\a: OK", "C:\\d\\b: OK", "", "----------- SCAN SUMMARY -----------",
           "Known viruses: 8712345", "Scanned files: 2"});
    EXPECT_EQ(parser.FoldersVisited(), 2);
    EXPECT_EQ(parser.CurrentFolder(), "");
    EXPECT_EQ(lister.patterns, Strings{"C:\\d\\*.*"});  // the working folder is never listed
    EXPECT_EQ(parser.ItemsScanned(), 2);
}

TEST(PercentText, RoundsToFourDigitsThenToHundredths) {
    EXPECT_EQ(PercentText(12.5, '.'), "12.50");
    EXPECT_EQ(PercentText(1.12496, '.'), "1.13");  // through 1.125
    EXPECT_EQ(PercentText(99.994, '.'), "99.99");
    EXPECT_EQ(PercentText(99.996, '.'), "100.00");
    EXPECT_EQ(PercentText(0.005, '.'), "0.01");
    EXPECT_EQ(PercentText(0.0001, ','), "0,00");
}

TEST_F(Parser, SubfolderAttributeRules) {
    lister.byPattern["C:\\data\\*.*"] = {
        {".", 0x10},       {"..", 0x10},     {"plain", 0x10},     {"v1.2", 0x10}, {"Hidden", 0x12},
        {"hid.den", 0x12}, {"README", 0x20}, {"notes.txt", 0x20}, {"Sys", 0x16},  {"..", 0x12},
    };
    parser.BeginScan({"C:\\"});
    parser.AddSubfolders("C:\\data");
    parser.AddSubfolders("C:\\");
    EXPECT_EQ(lister.patterns, (Strings{"C:\\data\\*.*", "C:\\*.*"}));
    // An extensionless file passes for a folder, a dotted one never does
    // unless it is purely a directory.
    EXPECT_EQ(parser.FolderList(),
              (Strings{"C:\\", "C:\\data\\plain\\", "C:\\data\\v1.2\\", "C:\\data\\Hidden\\",
                       "C:\\data\\README\\", "C:\\data\\Sys\\"}));
}

TEST_F(Parser, AddFolderSkipsExactDuplicatesAndKeepsOrder) {
    parser.BeginScan({"C:\\", "D:\\", "C:\\"});  // targets are kept as given
    for (const char* p : {"C:\\a\\", "D:\\", "c:\\a\\", "C:\\a\\"})
        parser.AddFolder(p);
    EXPECT_EQ(parser.FolderList(), (Strings{"C:\\", "D:\\", "C:\\", "C:\\a\\", "c:\\a\\"}));
    // A new scan must forget the folders the last one found.
    parser.BeginScan({"E:\\"});
    parser.AddFolder("C:\\a\\");
    EXPECT_EQ(parser.FolderList(), (Strings{"E:\\", "C:\\a\\"}));

    // Thousands of folders outgrow the index several times over; none may be
    // lost or repeated on the way.
    Strings expected = parser.FolderList();
    for (int i = 0; i < 5000; ++i)
        expected.push_back("E:\\" + std::to_string(i) + "\\");
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 1; i < expected.size(); ++i)
            parser.AddFolder(expected[i]);
    }
    EXPECT_EQ(parser.FolderList(), expected);
}

TEST_F(Parser, NewScanResetsCountersButKeepsOldTableSlots) {
    Parse({"C:\\a: One FOUND", "C:\\b: Two FOUND", "C:\\c: OK"});
    parser.BeginScan({"D:\\"});
    EXPECT_EQ(parser.ItemsScanned(), 0);
    EXPECT_EQ(parser.FoldersVisited(), 0);
    EXPECT_EQ(parser.CurrentFolder(), "");
    EXPECT_EQ(parser.LinesParsed(), 0u);
    EXPECT_EQ(parser.LastPath(), "");
    Parse({"D:\\z: Three FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 1);
    EXPECT_EQ(parser.Table()[0].VirusName, "Three ");
    EXPECT_EQ(parser.Table()[1].VirusName, "Two ");
}

TEST_F(Parser, DetectionsPastTheTableAreCountedButNotStored) {
    for (int k = 1; k <= 501; ++k) {
        parser.ParseReportLine("C:\\v\\f" + std::to_string(k) + ": N" + std::to_string(k) +
                               " FOUND");
    }
    EXPECT_EQ(parser.InfectionCount(), 501);
    EXPECT_EQ(parser.StoredInfections(), 500);
    EXPECT_EQ(parser.Table()[499].VirusName, "N500 ");  // the 501st overwrote nothing

    parser.ClearInfections();
    EXPECT_EQ(parser.StoredInfections(), 0);
    parser.ParseReportLine("C:\\v\\g: Again FOUND");
    EXPECT_EQ(parser.Table()[0].VirusName, "Again ");
}

// The Microsoft C runtime's split: the program name ends at the first blank
// or tab outside quotes and knows no escapes; in later arguments 2N
// backslashes and a quote give N backslashes and toggle quoting, 2N+1 give N
// and a literal quote, and other backslashes are literal.
Strings SplitLikeTheCRuntime(std::string_view line) {
    Strings args(1);
    std::size_t i = 0;
    bool quoted = false;
    auto ends = [&] {
        return i == line.size() || (!quoted && (line[i] == ' ' || line[i] == '\t'));
    };
    for (; !ends(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            args[0] += line[i];
    }
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == line.size()) return args;
        std::string& arg = args.emplace_back();
        quoted = false;
        while (!ends()) {
            std::size_t backslashes = 0;
            for (; i < line.size() && line[i] == '\\'; ++i)
                ++backslashes;
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1)
                    arg += '"';
                else
                    quoted = !quoted;
                ++i;
            } else {
                arg.append(backslashes, '\\');
                if (!ends()) arg += line[i++];
            }
        }
    }
}

TEST(ScannerCommand, QuotingOnlyWhereBlanksOrTabsNeedIt) {
    EXPECT_EQ(QuoteArgument("C:\\Data\\"), "C:\\Data\\");
    EXPECT_EQ(QuoteArgument("C:\\My Folder\\"), "\"C:\\My Folder\\\\\"");
    EXPECT_EQ(QuoteArgument("C:\\a\tb"), "\"C:\\a\tb\"");
}

TEST(ScannerCommand, ScannerReceivesEveryPathExactly) {
    const Strings folders = {"C:\\", "D:\\My Folder\\", "E:\\tab\there\\\\", "F:\\a b\\c"};
    const std::string db = "C:\\Program Files\\Tolvar\\db\\";
    const std::string line = BuildScannerCommandLine("C:\\Program Files\\Tolvar\\",
                                                     {db + "main.cvd", db + "daily.cld"}, folders);
    Strings expected = {"C:\\Program Files\\Tolvar\\bin\\snr\\1\\9\\clamscan.exe",
                        "--recursive",
                        "--memory",
                        "--unload",
                        "--kill",
                        "--database=C:\\Program Files\\Tolvar\\db\\main.cvd",
                        "--database=C:\\Program Files\\Tolvar\\db\\daily.cld"};
    expected.insert(expected.end(), folders.begin(), folders.end());
    EXPECT_EQ(SplitLikeTheCRuntime(line), expected) << line;
}

// Guards against folders with characters the scanner's ANSI command line
// lacks never reaching it: they go through a UTF-8 file list instead.
TEST(ScannerCommand, FoldersThatAreNotPlainAsciiGoThroughAFileList) {
    const Strings ascii = {"C:\\", "D:\\My Folder\\"};
    const Strings mixed = {"C:\\", "D:\\Zo\xC3\xAB\\", "E:\\\xE8\xAB\x8B\\"};
    EXPECT_FALSE(NeedsFileList(ascii));
    EXPECT_TRUE(NeedsFileList(mixed));
    EXPECT_EQ(FileListText(mixed), "C:\\\nD:\\Zo\xC3\xAB\\\nE:\\\xE8\xAB\x8B\\\n");
    const std::string line = BuildScannerCommandLine("C:\\AV\\", {"C:\\AV\\db\\main.cvd"}, mixed,
                                                     "C:\\Data Folder\\scan_folders.txt");
    const Strings args = SplitLikeTheCRuntime(line);
    ASSERT_EQ(args.size(), 7u) << line;
    EXPECT_EQ(args[5], "--database=C:\\AV\\db\\main.cvd");
    EXPECT_EQ(args[6], "--file-list=C:\\Data Folder\\scan_folders.txt");
}

// Guards against an excluded folder that reaches clamscan changed by the
// command line's splitting (a blank in its name, the backslashes), and
// against a command line changed for users who excluded nothing.
TEST(ScannerCommand, ExcludedFoldersReachTheScannerAsPatterns) {
    const Strings folders = {"C:\\", "D:\\Zo\xC3\xAB\\"};
    const Strings excluded = {"C:\\Program Files (x86)\\Big Game", "D:\\"};
    const std::string withList = BuildScannerCommandLine("C:\\AV\\", {"C:\\AV\\db\\main.cvd"},
                                                         folders, "C:\\Data\\list.txt", excluded);
    const Strings args = SplitLikeTheCRuntime(withList);
    ASSERT_EQ(args.size(), 9u) << withList;
    EXPECT_EQ(args[6], "--exclude-dir=" + ClamscanExcludePattern(excluded[0]));
    EXPECT_EQ(args[6], "--exclude-dir=^C:\\\\Program Files \\(x86\\)\\\\Big Game(\\\\|$)");
    EXPECT_EQ(args[7], "--exclude-dir=^D:(\\\\|$)");
    EXPECT_EQ(args[8], "--file-list=C:\\Data\\list.txt");

    const Strings plain = {"C:\\"};
    const std::string withFolders =
        BuildScannerCommandLine("C:\\AV\\", {"C:\\AV\\db\\main.cvd"}, plain, {}, excluded);
    EXPECT_EQ(SplitLikeTheCRuntime(withFolders).back(), "C:\\");
    EXPECT_EQ(BuildScannerCommandLine("C:\\AV\\", {"C:\\AV\\db\\main.cvd"}, plain, {}, {}),
              BuildScannerCommandLine("C:\\AV\\", {"C:\\AV\\db\\main.cvd"}, plain));
}

// Guards against a failure told as a success: only 0 and 1 are a scan that
// was done, 2 only when the scan did its work, and the reason is told in
// words.
TEST(ScannerExit, OnlyZeroAndOneAreAScanThatWasDone) {
    const std::string folder = "C:\\AV\\bin\\snr\\1\\9\\";
    EXPECT_FALSE(JudgeScannerExit(0, "", folder, false).failed);
    EXPECT_FALSE(JudgeScannerExit(1, "ERROR: whatever", folder, true).failed);

    const ScannerEnding two =
        JudgeScannerExit(2, "ERROR: Can't open file or directory", folder, false);
    EXPECT_TRUE(two.failed);
    EXPECT_EQ(two.reason, "The scanner reported an error: Can't open file or directory");
    EXPECT_TRUE(JudgeScannerExit(2, "", folder, false).failed);
    // A whole-drive scan always meets files in use: it finished, and says
    // that some items went unread.
    const ScannerEnding partly = JudgeScannerExit(2, "ERROR: Can't open file", folder, true);
    EXPECT_FALSE(partly.failed);
    EXPECT_TRUE(partly.itemsUnread);
    EXPECT_FALSE(JudgeScannerExit(0, "", folder, true).itemsUnread);

    const ScannerEnding dll = JudgeScannerExit(0xC0000135, "", folder, false);
    EXPECT_TRUE(dll.failed);
    EXPECT_EQ(dll.reason, "The scanner could not start: one of its DLLs is missing from " + folder);
    for (std::uint32_t code : {0xFFFFFFFFu, 0xC0000005u, 0xC0000142u, 0xC000007Bu, 3u, 54u}) {
        // A crash after some work is still a crash.
        const ScannerEnding ending = JudgeScannerExit(code, "ERROR: --file-list: x", folder, true);
        EXPECT_TRUE(ending.failed) << code;
        EXPECT_FALSE(ending.reason.empty()) << code;
    }
    EXPECT_NE(JudgeScannerExit(0xC0000005, "", folder, false).reason.find("crashed"),
              std::string::npos);
    EXPECT_NE(
        JudgeScannerExit(54, "ERROR: --file-list: x", folder, false).reason.find("--file-list: x"),
        std::string::npos);
    EXPECT_NE(MissingScannerReason(folder).find(folder), std::string::npos);
}

}  // namespace
}  // namespace tolvar
