// The program's command line, the requests other processes hand to it, and
// their joining into one scan.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/command_line.h"
#include "protection/request_joiner.h"
#include "protection/scan_request.h"

namespace tolvar {
namespace {

using Paths = std::vector<std::string>;

// Guards against a logon start that shows the window (the switch missed),
// a path taken for a switch or a switch for a path, and an argument
// dropped without a word.
TEST(ProgramArgumentsTest, SwitchesInAnyCaseAndPlaceAndTheRestTold) {
    EXPECT_TRUE(ReadProgramArguments({"/TRAY"}).tray);
    EXPECT_FALSE(ReadProgramArguments({"/trayx"}).tray);
    EXPECT_FALSE(ReadProgramArguments({"C:\\a /tray b"}).tray);

    const ProgramArguments read =
        ReadProgramArguments({"-x", "/Scan", "C:\\My Files\\a.exe", "/tray", "D:\\", "/what"});
    EXPECT_TRUE(read.scan);
    EXPECT_TRUE(read.tray);
    EXPECT_EQ(read.scanPaths, (Paths{"C:\\My Files\\a.exe", "D:\\"}));
    EXPECT_EQ(read.ignored, (Paths{"-x", "/what"}));
    EXPECT_EQ(IgnoredArgumentsNotice(read.ignored), "Ignored on the command line: -x /what");
    EXPECT_EQ(IgnoredArgumentsNotice({"a b", ""}), "Ignored on the command line: \"a b\" \"\"");
    EXPECT_EQ(IgnoredArgumentsNotice({}), "");

    // A drive's root in quotes, as Explorer's verb may give it.
    EXPECT_EQ(ReadProgramArguments({"/scan", "C:\""}).scanPaths, (Paths{"C:\\"}));
    // Paths without /scan are not scanned.
    const ProgramArguments loose = ReadProgramArguments({"C:\\a"});
    EXPECT_FALSE(loose.scan);
    EXPECT_EQ(loose.ignored, (Paths{"C:\\a"}));
}

// Guards against a pipe message that reaches the scan with a device, a
// relative path (read against the program's own folder), or a name the
// file system reads otherwise than it looks.
TEST(RequestedPathTest, OnlyFullPathsToFilesAndFoldersAreTaken) {
    const auto taken = [](const char* path) { return CheckRequestedPath(path).path; };
    EXPECT_EQ(taken("c:/Users//me/Downloads/"), "C:\\Users\\me\\Downloads");
    EXPECT_EQ(taken("D:\\"), "D:\\");
    EXPECT_EQ(taken("\\\\?\\C:\\long\\x.exe"), "C:\\long\\x.exe");
    EXPECT_EQ(taken("\\\\?\\UNC\\srv\\share\\f"), "\\\\srv\\share\\f");
    EXPECT_EQ(taken("\\\\srv\\share"), "\\\\srv\\share");
    EXPECT_EQ(taken("C:\\Zeichnungen\\Bücher\\Ölgemälde.exe"),
              "C:\\Zeichnungen\\Bücher\\Ölgemälde.exe");
    EXPECT_EQ(taken("C:\\console.log"), "C:\\console.log");
    EXPECT_EQ(taken("C:\\com10\\lpt"), "C:\\com10\\lpt");

    const auto refusal = [](const char* path) { return CheckRequestedPath(path).refusal; };
    for (const char* device :
         {"\\\\.\\PhysicalDrive0", "\\\\.\\C:", "\\\\?\\GLOBALROOT\\Device\\X",
          "\\\\?\\Volume{0}\\", "\\??\\C:\\x", "C:\\temp\\NUL", "C:\\nul.txt", "C:\\a\\Com1 .log",
          "C:\\LPT9", "C:\\CONOUT$", "C:\\COM\xC2\xB9", "\\\\.\\pipe\\x", "//./COM1"}) {
        EXPECT_EQ(refusal(device), "the path names a device") << device;
    }
    for (const char* relative :
         {"a.exe", "..\\a.exe", "C:a.exe", "\\Windows\\x", "C:\\a\\..\\..\\b", "C:\\a\\.\\b"}) {
        EXPECT_EQ(refusal(relative), "the path is not a full path") << relative;
    }
    EXPECT_EQ(refusal(""), "no path");
    EXPECT_EQ(refusal("\\\\srv"), "the path names no share");
    EXPECT_EQ(refusal("\\\\srv\\"), "the path names no share");
    EXPECT_EQ(refusal("C:\\a\\b:stream"), "the path holds a character no name may hold");
    EXPECT_EQ(refusal("C:\\a*.exe"), "the path holds a character no name may hold");
    EXPECT_EQ(refusal("C:\\a\tb"), "the path holds a control character");
    EXPECT_EQ(refusal("C:\\\xC3"), "the path is not readable text");
    EXPECT_EQ(refusal(std::string("C:\\").append(40000, 'a').c_str()), "the path is too long");
}

// Guards against a message read wrongly between the two programs: a path
// cut or split, a foreign message taken for a request.
TEST(ScanRequestMessageTest, RoundTripsAndRefusesWhatIsNoRequest) {
    const Paths paths{"C:\\Ünïcödé €\\файл.exe", "D:\\"};
    EXPECT_EQ(ReadScanRequestMessage(ScanRequestMessage(paths)), paths);
    EXPECT_FALSE(ReadScanRequestMessage("C:\\a\n"));
    EXPECT_FALSE(ReadScanRequestMessage(ScanRequestMessage({})));
    EXPECT_FALSE(ReadScanRequestMessage(ScanRequestMessage({"C:\\\xFF"})));
    EXPECT_FALSE(
        ReadScanRequestMessage(ScanRequestMessage({std::string(kLongestScanRequest, 'a')})));

    const ScanRequestReply reply{1, {{"C:\\nul", "the path names a device"}}};
    const auto read = ReadScanRequestReply(ScanRequestReplyText(reply));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->taken, 1u);
    ASSERT_EQ(read->refused.size(), 1u);
    EXPECT_EQ(read->refused[0].path, "C:\\nul");
    EXPECT_EQ(read->refused[0].refusal, "the path names a device");
    EXPECT_FALSE(ReadScanRequestReply("Taken x\n"));
    EXPECT_FALSE(ReadScanRequestReply(""));
}

// Guards against fifteen scans for one selection, a scan started before
// the selection has all arrived, a trickle holding the scan back for ever,
// and a file scanned twice (alone and inside its folder).
TEST(RequestJoinerTest, JoinsWhatArrivesWithinAMoment) {
    RequestJoiner joiner;
    std::uint64_t now = 10'000;
    for (int i = 0; i < 15; ++i) {
        joiner.Add({"C:\\sel\\file" + std::to_string(i) + ".exe"}, now);
        EXPECT_TRUE(joiner.TakeReady(now).empty());
        now += 150;
    }
    EXPECT_TRUE(joiner.TakeReady(now - 150 + RequestJoiner::kQuietMs - 1).empty());
    const Paths joined = joiner.TakeReady(now - 150 + RequestJoiner::kQuietMs);
    EXPECT_EQ(joined.size(), 15u);
    EXPECT_EQ(joined.front(), "C:\\sel\\file0.exe");
    EXPECT_FALSE(joiner.Waiting());

    // A request every half moment never goes quiet: it is taken anyway.
    now = 50'000;
    for (int i = 0; i < 20; ++i) {
        joiner.Add({"C:\\t\\" + std::to_string(i)}, now);
        if (!joiner.TakeReady(now).empty()) break;
        now += RequestJoiner::kQuietMs / 2;
    }
    EXPECT_EQ(now, 50'000 + RequestJoiner::kLongestWaitMs);

    joiner.Add({"C:\\Data\\a.exe", "c:\\data\\A.EXE", "D:\\x\\y.zip"}, 0);
    joiner.Add({"C:\\Data\\"}, 1);
    joiner.Add({"C:\\data\\sub\\b.exe", "D:\\x\\y.zip"}, 2);
    joiner.Add({"D:\\"}, 3);
    EXPECT_EQ(joiner.TakeReady(10'000), (Paths{"C:\\Data\\", "D:\\"}));
    // A folder that merely starts with a requested folder's name is apart.
    joiner.Add({"C:\\Data\\", "C:\\Database\\"}, 0);
    EXPECT_EQ(joiner.TakeReady(10'000), (Paths{"C:\\Data\\", "C:\\Database\\"}));
}

}  // namespace
}  // namespace tolvar
