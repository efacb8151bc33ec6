// The one way the program compares two paths (removal, restore, the
// scanner's own folders, the program a removal ends), and the one decision
// which reparse points are links.

#include <gtest/gtest.h>

#include "core/path_compare.h"
#include "core/reparse_tag.h"

namespace tolvar {
namespace {

// Guards against a detection on a share ("\\?\UNC\srv\share\...", as
// clamscan writes it) never matching its final path "\\srv\share\...",
// and against a closing backslash or the case of a letter telling two
// names of one folder apart.
TEST(PathCompare, LongAndNetworkFormsCompareAsTheSamePath) {
    EXPECT_EQ(ComparablePath("\\\\?\\UNC\\Srv\\Share\\A\\"), "\\\\srv\\share\\a");
    EXPECT_EQ(ComparablePath("\\\\?\\C:\\Data\\"), "c:\\data");
    EXPECT_EQ(ComparablePath("C:\\"), "c:");
    EXPECT_TRUE(SamePath("\\\\?\\UNC\\srv\\share\\dir\\x.exe", "\\\\SRV\\share\\Dir\\X.EXE"));
    EXPECT_TRUE(SamePath("\\\\?\\C:\\Downloads\\svchost.exe", "c:\\downloads\\SVCHOST.EXE"));
    EXPECT_TRUE(
        SamePath("C:\\Users\\\xD0\x97\xD0\xBE\xD1\x8F\\", "c:\\users\\\xD0\xB7\xD0\xBE\xD1\x8F"));
    EXPECT_TRUE(LiesInside(ComparablePath("\\\\?\\UNC\\srv\\share\\m\\x.exe"),
                           ComparablePath("\\\\SRV\\share\\M\\")));
}

// Guards against prefix matches and against taking two files for one: a
// comparison that errs must say "different" (the program then refuses to
// act), never "same".
TEST(PathCompare, NeverTakesTwoFilesForOne) {
    EXPECT_FALSE(SamePath("C:\\Downloads\\svchost.exe", "C:\\Windows\\svchost.exe"));
    EXPECT_FALSE(SamePath("C:\\a\\b.exe", "C:\\a\\b.exe2"));
    EXPECT_FALSE(SamePath("C:\\a\\b.exe", "C:\\a\\b.ex"));
    // A share and a drive folder of the same name are different places.
    EXPECT_FALSE(SamePath("\\\\?\\UNC\\c\\x.exe", "c:\\x.exe"));
    // Stray bytes (Windows-1252's upper and lower A-umlaut) are not folded.
    EXPECT_FALSE(SamePath("C:\\\xC4.exe", "C:\\\xE4.exe"));
    EXPECT_TRUE(SamePath("C:\\\xC4.exe", "C:\\\xC4.exe"));
    // The capital I with a dot is neither "i" nor the dotless small i to
    // the file system.
    EXPECT_FALSE(SamePath("C:\\\xC4\xB0.exe", "C:\\\xC4\xB1.exe"));
    EXPECT_FALSE(SamePath("C:\\\xC4\xB0.exe", "C:\\i.exe"));
    EXPECT_FALSE(LiesInside("c:\\datax\\y", "c:\\data"));
    EXPECT_TRUE(LiesInside("c:\\data", "c:\\data"));
    EXPECT_TRUE(LiesInside("c:\\x", "c:"));
}

// Guards against treating two unreadable paths as the same file: every
// process that cannot be opened would then match an unreadable target.
TEST(PathCompare, AnEmptyPathEqualsNothing) {
    EXPECT_FALSE(SamePath("", ""));
    EXPECT_FALSE(SamePath("", "C:\\a.exe"));
    EXPECT_FALSE(SamePath("C:\\a.exe", ""));
}

// Guards against a root that is resolved past its volume (a share's folder
// taken for the share) or a relative path taken for one with a root.
TEST(PathCompare, TheRootIsTheDriveOrTheShare) {
    EXPECT_EQ(RootLength("C:\\x\\y"), 3u);
    EXPECT_EQ(RootLength("\\\\?\\C:\\x"), 7u);
    EXPECT_EQ(RootLength("\\\\srv\\share\\x"), 12u);
    EXPECT_EQ(RootLength("\\\\srv\\share"), 11u);
    EXPECT_EQ(RootLength("\\\\?\\UNC\\srv\\share\\x"), 18u);
    EXPECT_EQ(RootLength("\\\\srv"), 0u);
    EXPECT_EQ(RootLength("\\\\\\share\\x"), 0u);
    EXPECT_EQ(RootLength("\\\\srv\\\\x"), 0u);
    EXPECT_EQ(RootLength("\\\\?\\Volume{1}\\x"), 0u);
    EXPECT_EQ(RootLength("x\\y"), 0u);
    EXPECT_EQ(RootLength("C:x"), 0u);
}

// Guards against naming a drive's root as "C:", which the system takes for
// the drive's current folder.
TEST(PathCompare, AFolderLosesItsClosingBackslashesButADriveRootKeepsIt) {
    EXPECT_EQ(WithoutClosingBackslash("C:\\data\\Mirebrook\\\\"), "C:\\data\\Mirebrook");
    EXPECT_EQ(WithoutClosingBackslash("C:\\"), "C:\\");
}

// Guards against refusing every reparse point: a OneDrive placeholder, a
// deduplicated file or a file of another filter is an ordinary file to
// remove; only a symbolic link or a junction leads somewhere else. (Wine 8
// cannot make a reparse point of any other kind, so the decision is tested
// here on the tags Windows gives.)
TEST(ReparseTags, OnlySymbolicLinksAndMountPointsAreLinks) {
    EXPECT_TRUE(IsLinkTag(0xA000000C));   // IO_REPARSE_TAG_SYMLINK
    EXPECT_TRUE(IsLinkTag(0xA0000003));   // IO_REPARSE_TAG_MOUNT_POINT (a junction)
    EXPECT_FALSE(IsLinkTag(0x9000001A));  // IO_REPARSE_TAG_CLOUD (OneDrive)
    EXPECT_FALSE(IsLinkTag(0x9000601A));  // IO_REPARSE_TAG_CLOUD_6
    EXPECT_FALSE(IsLinkTag(0x80000013));  // IO_REPARSE_TAG_DEDUP
    EXPECT_FALSE(IsLinkTag(0x80000017));  // IO_REPARSE_TAG_WOF (compressed)
    EXPECT_FALSE(IsLinkTag(0x8000001B));  // IO_REPARSE_TAG_APPEXECLINK
    EXPECT_FALSE(IsLinkTag(0));
}

}  // namespace
}  // namespace tolvar
