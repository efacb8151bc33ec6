// The scanner report parser: lines cut from chunks, detections and clean
// items, the folder-based progress estimate, and the command line that the
// scanner must split back into exactly the intended paths.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "scan/report_parser.h"
#include "scan/scanner_command.h"

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

TEST_F(Parser, OwnDataFolderIsExcludedOnlyAfterTheFirstCharacter) {
    Parse({"C:\\ProgramData\\Mirebrook\\Vault\\1.vir: Eicar FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 0);
    // The line still counts as one the page shows.
    EXPECT_EQ(parser.LinesParsed(), 1u);
    EXPECT_EQ(parser.StatusText(), "Scanning: C:\\ProgramData\\Mirebrook\\Vault\\1.vir");
    Parse({"Mirebrook\\x.exe: Eicar FOUND"});
    EXPECT_EQ(parser.InfectionCount(), 1);
}

TEST_F(Parser, LongPathsAndNamesAreCutBeforeUse) {
    // The folder's backslash lies past character 255, so the cut path has
    // only the root as its folder.
    const std::string path = "C:\\" + std::string(260, 'p') + "\\file.exe";
    const std::string name(60, 'n');
    Parse({path + ": " + name + " FOUND"});
    EXPECT_EQ(parser.Table()[0].FilePath, path.substr(0, 255));
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
    const std::string line = BuildScannerCommandLine("C:\\Program Files\\Tolvar\\", db,
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

TEST(ScannerCommand, WithoutDatabasesTheScannerIsToldOfTheMissingMainOne) {
    EXPECT_EQ(BuildScannerCommandLine("C:\\AV\\", "C:\\AV\\db\\", {}, {}),
              "C:\\AV\\bin\\snr\\1\\9\\clamscan.exe --recursive --memory --unload --kill "
              "--database=C:\\AV\\db\\main.cvd");
}

}  // namespace
}  // namespace tolvar
