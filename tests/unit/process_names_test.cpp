// Which running processes the removal run may end: image names cut from the
// process list's fixed buffers, the guard that keeps the program alive, and
// the path rule that picks the processes running an infected file.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scan/process_names.h"

namespace tolvar {
namespace {

using Indices = std::vector<std::size_t>;
using Strings = std::vector<std::string>;

// Guards against keeping the folder part, splitting only at backslashes
// (drive-relative "C:name" forms), and cutting at the first separator.
TEST(ImageNameFromExeFile, TakesTheTextAfterTheLastBackslashOrColon) {
    EXPECT_EQ(ImageNameFromExeFile("C:\\Windows\\System32\\svchost.exe"), "svchost.exe");
    EXPECT_EQ(ImageNameFromExeFile("C:tool.exe"), "tool.exe");
    EXPECT_EQ(ImageNameFromExeFile("\\\\?\\C:\\a:b\\c.exe"), "c.exe");
    EXPECT_EQ(ImageNameFromExeFile("plain.exe"), "plain.exe");
    EXPECT_EQ(ImageNameFromExeFile("C:\\folder\\"), "");
    EXPECT_EQ(ImageNameFromExeFile(""), "");
}

// Guards against reading the whole fixed buffer: bytes after the zero are
// leftovers of a longer earlier entry and must not leak into the name, nor
// may a separator among them cut the real name.
TEST(ImageNameFromExeFile, StopsAtTheFirstZeroByte) {
    using namespace std::string_literals;
    const std::string buffer = "C:\\x\\new.exe\0old\\longer-name.exe\0\0"s;
    EXPECT_EQ(ImageNameFromExeFile(buffer), "new.exe");
    EXPECT_EQ(ImageNameFromExeFile(std::string_view("\0junk.exe", 9)), "");
}

// Guards against running past the end of a buffer that holds no zero.
TEST(ImageNameFromExeFile, NeverTakesMoreThan260Characters) {
    const std::string unterminated(300, 'a');
    EXPECT_EQ(ImageNameFromExeFile(unterminated), std::string(260, 'a'));
    // A separator beyond the 260th character is not part of the name.
    const std::string lateSeparator = std::string(270, 'b') + "\\tail.exe";
    EXPECT_EQ(ImageNameFromExeFile(lateSeparator), std::string(260, 'b'));
}

// Guards against a case-sensitive guard, which would let the removal end the
// program itself when the report writes its name in capitals, and against a
// guard so loose that it protects look-alike names.
TEST(IsOwnImageName, IgnoresCaseButNothingElse) {
    EXPECT_TRUE(IsOwnImageName("antivirus.exe"));
    EXPECT_TRUE(IsOwnImageName("ANTIVIRUS.EXE"));
    EXPECT_TRUE(IsOwnImageName("AntiVirus.exe"));
    EXPECT_FALSE(IsOwnImageName("antivirus.exe "));
    EXPECT_FALSE(IsOwnImageName("antivirus.ex"));
    EXPECT_FALSE(IsOwnImageName("myantivirus.exe"));
    EXPECT_FALSE(IsOwnImageName(""));
    EXPECT_EQ(AsciiLower("MiXeD-09_Z\xC4"), "mixed-09_z\xC4");
}

class ProcessesRunningFileTest : public testing::Test {
protected:
    // A system svchost.exe, an infected copy of it in Downloads run twice,
    // a process whose path could not be read, and the program itself.
    Strings names{"System",    "svchost.exe", "svchost.exe",
                  "other.exe", "svchost.exe", "AntiVirus.exe"};
    Strings paths{"",
                  "C:\\Windows\\System32\\svchost.exe",
                  "C:\\Users\\u\\Downloads\\svchost.exe",
                  "C:\\Program Files\\Other\\other.exe",
                  "c:\\users\\U\\downloads\\SVCHOST.exe",
                  "C:\\Program Files\\Tolvar\\AntiVirus.exe"};
};

// The fault that started it all: ending by image name ends the system's own
// svchost.exe because an infected file of that name lies in a download
// folder. Both runs of the infected copy must go, the system one must stay.
TEST_F(ProcessesRunningFileTest, PicksEveryProcessOfThatFileAndNoNamesake) {
    EXPECT_EQ(ProcessesRunningFile(names, paths, "C:\\Users\\u\\Downloads\\svchost.exe"),
              (Indices{2, 4}));
    EXPECT_EQ(ProcessesRunningFile(names, paths, "C:\\Windows\\System32\\svchost.exe"),
              (Indices{1}));
    EXPECT_EQ(ProcessesRunningFile(names, paths, "C:\\Users\\u\\Downloads\\other.exe"),
              (Indices{}));
}

// Guards against an unreadable process path or an unreadable target being
// taken as a match.
TEST_F(ProcessesRunningFileTest, NeverPicksAProcessWhosePathIsUnknown) {
    EXPECT_EQ(ProcessesRunningFile(names, paths, ""), (Indices{}));
}

// Guards against the program ending itself when its own file is reported
// infected (or a file is renamed to its name), whatever the case.
TEST_F(ProcessesRunningFileTest, NeverPicksTheProgramItself) {
    EXPECT_EQ(ProcessesRunningFile(names, paths, "C:\\Program Files\\Tolvar\\AntiVirus.exe"),
              (Indices{}));
    names[5] = "ANTIVIRUS.EXE";
    EXPECT_EQ(ProcessesRunningFile(names, paths, "c:\\program files\\tolvar\\antivirus.exe"),
              (Indices{}));
}

// Guards against reading past the shorter of two lists of unequal length.
TEST_F(ProcessesRunningFileTest, StaysWithinTheListsBounds) {
    names.resize(3);
    EXPECT_EQ(ProcessesRunningFile(names, paths, "C:\\Users\\u\\Downloads\\svchost.exe"),
              (Indices{2}));
}

}  // namespace
}  // namespace tolvar
