// The excluded folders: what a stored list means, the pattern clamscan is
// given for each (checked with the C library's POSIX regular expressions,
// the language clamscan's own matcher speaks, where the platform has them),
// and the same pattern as the scanner bridge gives it to Debian's clamscan.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/excluded_folders.h"
#include "scanner_bridge/exclude_pattern.h"

#if __has_include(<regex.h>)
#include <regex.h>
#define TOLVAR_HAS_POSIX_REGEX 1
#endif

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

// Guards against junk in the stored value excluding something it never
// named (a relative path would be taken against whatever folder clamscan
// runs in), and against one folder listed twice under two spellings.
TEST(ExcludedFolders, OnlyFullPathsCountEachOnceInTheProgramsForm) {
    EXPECT_EQ(ExcludedFolderOf("  C:\\Users\\Me\\Temp\\  "), "C:\\Users\\Me\\Temp");
    EXPECT_EQ(ExcludedFolderOf("c:/users//me/temp/"), "C:\\users\\me\\temp");
    EXPECT_EQ(ExcludedFolderOf("d:"), "D:\\");
    EXPECT_EQ(ExcludedFolderOf("D:\\\\"), "D:\\");
    EXPECT_EQ(ExcludedFolderOf("\\\\?\\C:\\Long\\"), "C:\\Long");
    EXPECT_EQ(ExcludedFolderOf("\\\\?\\UNC\\srv\\share\\x"), "\\\\srv\\share\\x");
    EXPECT_EQ(ExcludedFolderOf("\\\\srv\\share\\"), "\\\\srv\\share");
    EXPECT_EQ(ExcludedFolderOf("E:\\Zo\xC3\xAB"), "E:\\Zo\xC3\xAB");
    for (const char* junk :
         {"", "   ", "Temp", "\\Temp", "C:Temp", "C:\\a\\..\\b", "C:\\.\\b", "C:\\a*", "C:\\a?b",
          "C:\\a:b", "\\\\srv", "\\\\srv\\", "1:\\x", "C:\\a\tb", "\"C:\\a\""}) {
        EXPECT_EQ(ExcludedFolderOf(junk), std::nullopt) << junk;
    }

    const std::string stored =
        "C:\\Build\r\nnot a folder\r\n\r\nc:\\build\\\nD:/Media\rC:\\BUILD\n\\\\srv\\share\\x\n";
    EXPECT_EQ(ParseExcludedFolders(stored),
              (Strings{"C:\\Build", "D:\\Media", "\\\\srv\\share\\x"}));
    EXPECT_EQ(LinesNamingNoFolder(stored), (Strings{"not a folder"}));
    EXPECT_EQ(ExcludedFoldersText(ParseExcludedFolders(stored)),
              "C:\\Build\r\nD:\\Media\r\n\\\\srv\\share\\x");
    EXPECT_TRUE(ParseExcludedFolders("").empty());
}

// Guards against the walk entering an excluded folder by another spelling
// (case, a long path's prefix), and against a folder taking its neighbour
// whose name only starts like it.
TEST(ExcludedFolders, CoverTheFolderAndWhatLiesBelowItOnly) {
    const ExcludedFolders excluded(ParseExcludedFolders("C:\\a\nE:\\\n\\\\srv\\share\\x"));
    EXPECT_TRUE(excluded.Covers("C:\\a"));
    EXPECT_TRUE(excluded.Covers("c:\\A\\"));
    EXPECT_TRUE(excluded.Covers("C:\\a\\b\\c.exe"));
    EXPECT_TRUE(excluded.Covers("\\\\?\\C:\\A\\b"));
    EXPECT_TRUE(excluded.Covers("E:\\"));
    EXPECT_TRUE(excluded.Covers("E:\\deep\\er"));
    EXPECT_TRUE(excluded.Covers("\\\\?\\UNC\\SRV\\share\\x\\y"));
    EXPECT_FALSE(excluded.Covers("C:\\ab"));
    EXPECT_FALSE(excluded.Covers("C:\\"));
    EXPECT_FALSE(excluded.Covers("C:\\b\\a"));
    EXPECT_FALSE(excluded.Covers("\\\\srv\\share\\xy"));
    EXPECT_FALSE(excluded.Covers(""));
    EXPECT_FALSE(ExcludedFolders().Covers("C:\\a"));
}

// Guards against a folder's name read as an expression: each character the
// language gives a meaning must be escaped, or "C:\a.b" would also take
// "C:\aXb" and "C:\(x)" would not take itself.
TEST(ExcludedFolders, ClamscanPatternsEscapeEveryCharacterWithAMeaning) {
    EXPECT_EQ(ClamscanExcludePattern("C:\\a"), "^C:\\\\a(\\\\|$)");
    EXPECT_EQ(ClamscanExcludePattern("D:\\"), "^D:(\\\\|$)");
    EXPECT_EQ(ClamscanExcludePattern("\\\\srv\\share"), "^\\\\\\\\srv\\\\share(\\\\|$)");
    EXPECT_EQ(ClamscanExcludePattern("C:\\.[]()*+?{}|^$x"),
              "^C:\\\\\\.\\[\\]\\(\\)\\*\\+\\?\\{\\}\\|\\^\\$x(\\\\|$)");
    // Letters beyond ASCII: plain ASCII on the command line.
    EXPECT_EQ(ClamscanExcludePattern("E:\\Zo\xC3\xAB\\\xE8\xAB\x8B"),
              "^E:\\\\Zo([^ -~]{1,2}|\\?)\\\\([^ -~]{1,3}|\\?)(\\\\|$)");
}

#ifdef TOLVAR_HAS_POSIX_REGEX
// True when clamscan would exclude path: its matcher compiles the pattern
// as an extended expression (without regard to case on Windows) and looks
// for it anywhere in the path.
bool Matches(const std::string& pattern, const std::string& path, bool ignoreCase) {
    regex_t compiled;
    const int flags = REG_EXTENDED | REG_NOSUB | (ignoreCase ? REG_ICASE : 0);
    EXPECT_EQ(regcomp(&compiled, pattern.c_str(), flags), 0) << pattern;
    const bool match = regexec(&compiled, path.c_str(), 0, nullptr, 0) == 0;
    regfree(&compiled);
    return match;
}

// Guards against the pattern excluding a neighbour ("C:\a" taking
// "C:\ab"), missing the folder's own path or what lies below it, or taking
// a folder of the same name elsewhere.
TEST(ExcludedFolders, ClamscanPatternsTakeExactlyTheFolderAndBelow) {
    const std::string a = ClamscanExcludePattern("C:\\a");
    EXPECT_TRUE(Matches(a, "C:\\a", true));
    EXPECT_TRUE(Matches(a, "c:\\A\\sub\\deeper", true));
    EXPECT_FALSE(Matches(a, "C:\\ab", true));
    EXPECT_FALSE(Matches(a, "C:\\ab\\c", true));
    EXPECT_FALSE(Matches(a, "D:\\C:\\a", true));
    EXPECT_FALSE(Matches(a, "C:\\x\\a", true));

    const std::string meta = ClamscanExcludePattern("C:\\v1.0 (x86)+[old]");
    EXPECT_TRUE(Matches(meta, "C:\\v1.0 (x86)+[old]\\bin", true));
    EXPECT_FALSE(Matches(meta, "C:\\v1x0 (x86)+[old]", true));
    EXPECT_FALSE(Matches(meta, "C:\\v1.0 x86+[old]", true));

    const std::string root = ClamscanExcludePattern("E:\\");
    EXPECT_TRUE(Matches(root, "E:", true));
    EXPECT_TRUE(Matches(root, "E:\\x", true));
    EXPECT_FALSE(Matches(root, "F:\\E:", true));

    const std::string share = ClamscanExcludePattern("\\\\srv\\share");
    EXPECT_TRUE(Matches(share, "\\\\srv\\share\\x", true));
    EXPECT_FALSE(Matches(share, "\\\\srv\\shared", true));

    // "Zoë" in UTF-8 (1.5), in the ANSI code page and as "?" (1.4), and
    // no name that differs from it in its ASCII: a letter, a digit or a
    // backslash more, or one non-ASCII letter too many.
    const std::string zoe = ClamscanExcludePattern("E:\\Zo\xC3\xAB");
    EXPECT_TRUE(Matches(zoe, "E:\\Zo\xC3\xAB\\x", true));
    EXPECT_TRUE(Matches(zoe, "E:\\Zo\xEB", true));
    EXPECT_TRUE(Matches(zoe, "E:\\Zo?", true));
    EXPECT_FALSE(Matches(zoe, "E:\\Zo", true));
    EXPECT_FALSE(Matches(zoe, "E:\\Zoe", true));
    EXPECT_FALSE(Matches(zoe,
                         "E:\\Zo\xC3\xAB"
                         "2",
                         true));
    EXPECT_FALSE(Matches(zoe, "E:\\Zo\xC3\xAB\xC3\xAB", true));
    EXPECT_FALSE(Matches(zoe, "E:\\Zo\\x", true));
}

// Guards against the bridge losing an exclusion on its way to Debian's
// clamscan, or widening it: the same folder in Linux form, in either case
// (Linux names keep their case, Windows ones are matched without it).
TEST(ExcludedFolders, TheBridgeExcludesTheSameFolderOnLinux) {
    const auto roots = [](const std::string& root) -> std::optional<std::string> {
        if (root == "C:\\") return "/home/u/.wine/dosdevices/c:/";
        if (root == "Z:\\") return "/";
        if (root == "\\\\srv\\share\\") return "/mnt/srv share";
        return std::nullopt;
    };
    const std::optional<std::string> a =
        bridge::LinuxExcludePattern(ClamscanExcludePattern("C:\\Users\\a.b"), roots);
    ASSERT_TRUE(a);
    EXPECT_TRUE(Matches(*a, "/home/u/.wine/dosdevices/c:/users/A.B", false));
    EXPECT_TRUE(Matches(*a, "/home/u/.wine/dosdevices/c:/Users/a.b/x/y", false));
    EXPECT_FALSE(Matches(*a, "/home/u/.wine/dosdevices/c:/Users/a.bc", false));
    EXPECT_FALSE(Matches(*a, "/home/u/.wine/dosdevices/c:/Users/aXb", false));
    EXPECT_FALSE(Matches(*a, "/home/u/xwine/dosdevices/c:/Users/a.b", false));

    const std::optional<std::string> z =
        bridge::LinuxExcludePattern(ClamscanExcludePattern("Z:\\tmp\\Zo\xC3\xAB"), roots);
    ASSERT_TRUE(z);
    EXPECT_TRUE(Matches(*z, "/tmp/zo\xC3\xAB/f", false));
    EXPECT_FALSE(Matches(*z, "/tmp/zo", false));
    EXPECT_FALSE(Matches(*z,
                         "/tmp/zo\xC3\xAB"
                         "2",
                         false));
    EXPECT_TRUE(Matches(*bridge::LinuxExcludePattern(ClamscanExcludePattern("Z:\\"), roots),
                        "/anything", false));

    const std::optional<std::string> share =
        bridge::LinuxExcludePattern(ClamscanExcludePattern("\\\\srv\\share\\q"), roots);
    ASSERT_TRUE(share);
    EXPECT_TRUE(Matches(*share, "/mnt/srv share/Q/x", false));

    // A drive the bridge cannot place, and patterns the program never makes.
    EXPECT_FALSE(bridge::LinuxExcludePattern(ClamscanExcludePattern("Q:\\x"), roots));
    EXPECT_FALSE(bridge::LinuxExcludePattern("C:\\\\x", roots));
    EXPECT_FALSE(bridge::LinuxExcludePattern("^C:\\\\x.*(\\\\|$)", roots));
}
#endif

}  // namespace
}  // namespace tolvar
