// Which versions of a file the watch has handed out already.

#include <gtest/gtest.h>

#include "protection/handed_out_files.h"

namespace tolvar {
namespace {

// Guards against one version of a file scanned twice (found again by a walk
// after lost notices), against a changed file (other size or time) or a
// new file under a removed one's name not being scanned at all, and
// against the record growing without bound over a day of downloads.
TEST(HandedOutFiles, EachVersionOnceAndANameFreedByARemoval) {
    HandedOutFiles files(3);
    EXPECT_TRUE(files.IsNew("C:\\D\\a.exe", 10, 500));
    EXPECT_FALSE(files.IsNew("c:\\d\\A.EXE", 10, 500));
    EXPECT_TRUE(files.IsNew("C:\\D\\a.exe", 11, 500));
    EXPECT_TRUE(files.IsNew("C:\\D\\a.exe", 11, 501));
    EXPECT_FALSE(files.IsNew("C:\\D\\a.exe", 11, 501));

    files.Forget("C:\\D\\a.exe");
    EXPECT_TRUE(files.IsNew("C:\\D\\a.exe", 11, 501));

    EXPECT_TRUE(files.IsNew("C:\\D\\sub\\x", 1, 1));
    EXPECT_TRUE(files.IsNew("C:\\D\\subway", 1, 1));
    files.Forget("C:\\D\\Sub");
    EXPECT_TRUE(files.IsNew("C:\\D\\sub\\x", 1, 1));
    EXPECT_FALSE(files.IsNew("C:\\D\\subway", 1, 1));

    for (int i = 0; i < 1000; ++i)
        files.IsNew("C:\\D\\f" + std::to_string(i), 1, 1);
    EXPECT_LE(files.size(), 3u);
    EXPECT_FALSE(files.IsNew("C:\\D\\f999", 1, 1));
}

}  // namespace
}  // namespace tolvar
