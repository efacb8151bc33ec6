// The walk that finds the files a scan through clamd sends, over folders
// described as Windows lists them (attributes and reparse tags as
// FindFirstFile gives them; Wine 8 cannot make a junction or a symbolic
// link, so the folders are given here).

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "scan/excluded_folders.h"
#include "scan/target_walk.h"

namespace tolvar {
namespace {

constexpr std::uint32_t kFile = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
constexpr std::uint32_t kFolder = 0x10;
constexpr std::uint32_t kReparse = 0x400;

class MapLister : public TreeLister {
public:
    std::optional<std::uint32_t> Attributes(const std::string& path) override {
        const auto at = attributes.find(path);
        if (at == attributes.end()) return std::nullopt;
        return at->second;
    }
    bool List(const std::string& folder, const std::function<bool(const Entry&)>& each) override {
        listed.push_back(folder);
        const auto at = folders.find(folder);
        if (at == folders.end()) return false;
        for (const Entry& entry : at->second)
            if (!each(entry)) break;
        return true;
    }
    std::optional<std::string> FolderIdentity(const std::string& folder) override {
        const auto at = identities.find(folder);
        if (at == identities.end()) return std::nullopt;
        return at->second;
    }

    std::map<std::string, std::uint32_t> attributes;
    std::map<std::string, std::string> identities;
    std::map<std::string, std::vector<Entry>> folders;
    std::vector<std::string> listed;
};

std::vector<std::string> Walked(const std::vector<std::string>& targets, MapLister& lister,
                                bool* allRead = nullptr) {
    std::vector<std::string> files;
    const bool read = WalkTargets(
        targets, lister,
        {[&](std::string path) { files.push_back(std::move(path)); }, [] { return false; }, {}});
    if (allRead) *allRead = read;
    std::sort(files.begin(), files.end());
    return files;
}

// Guards against following a junction or a symbolic link out of the chosen
// tree (onto another drive, or round a loop for ever), and against skipping
// the reparse points that are files themselves (a OneDrive placeholder, a
// deduplicated file), whose content must be scanned.
TEST(TargetWalk, LinksAreNotFollowedButOtherReparsePointsAreScanned) {
    MapLister lister;
    lister.attributes["C:\\t"] = kFolder;
    lister.folders["C:\\t\\"] = {
        {"a.txt", kFile, 0},
        {"sub", kFolder, 0},
        {"junction", kFolder | kReparse, 0xA0000003},
        {"dirlink", kFolder | kReparse, 0xA000000C},
        {"filelink.exe", kFile | kReparse, 0xA000000C},
        {"placeholder.docx", kFile | kReparse, 0x9000001A},
        {"deduplicated.iso", kFile | kReparse, 0x80000013},
        {"OneDrive", kFolder | kReparse, 0x9000601A},
    };
    lister.folders["C:\\t\\sub\\"] = {{"deep", kFolder, 0}, {"b.exe", kFile, 0}};
    lister.folders["C:\\t\\sub\\deep\\"] = {{"c.txt", kFile | 0x2 | 0x4, 0}};  // hidden, system
    lister.folders["C:\\t\\OneDrive\\"] = {{"d.txt", kFile, 0}};

    bool allRead = false;
    EXPECT_EQ(Walked({"C:\\t"}, lister, &allRead),
              (std::vector<std::string>{"C:\\t\\OneDrive\\d.txt", "C:\\t\\a.txt",
                                        "C:\\t\\deduplicated.iso", "C:\\t\\placeholder.docx",
                                        "C:\\t\\sub\\b.exe", "C:\\t\\sub\\deep\\c.txt"}));
    EXPECT_TRUE(allRead);
    for (const std::string& folder : lister.listed)
        EXPECT_EQ(folder.find("link"), std::string::npos) << folder;
    EXPECT_EQ(std::count(lister.listed.begin(), lister.listed.end(), "C:\\t\\junction\\"), 0);
}

// Guards against a scan that says it read everything when a target was gone
// or a folder could not be listed, and against losing a target that is a
// file, or a drive's root ("D:\" must not become "D:\\").
TEST(TargetWalk, FilesDrivesAndWhatCouldNotBeRead) {
    MapLister lister;
    lister.attributes["C:\\one.exe"] = kFile;
    lister.attributes["D:\\"] = kFolder;
    lister.folders["D:\\"] = {{"x.txt", kFile, 0}, {"locked", kFolder, 0}};
    bool allRead = true;
    EXPECT_EQ(Walked({"C:\\one.exe", "D:\\"}, lister, &allRead),
              (std::vector<std::string>{"C:\\one.exe", "D:\\x.txt"}));
    EXPECT_FALSE(allRead);  // D:\locked\ could not be listed

    lister.folders["D:\\locked\\"] = {};
    EXPECT_EQ(Walked({"C:\\gone", "D:\\"}, lister, &allRead),
              (std::vector<std::string>{"D:\\x.txt"}));
    EXPECT_FALSE(allRead);  // C:\gone is not there
}

// Guards against a walk that never ends: a server that follows its own
// links (Samba's default, and Wine's links to the home folder) shows a link
// back up the tree as a plain folder, which must be listed once, not round
// and round; and against losing folders whose identity cannot be read.
TEST(TargetWalk, AFolderMetAgainThroughAPlainLookingLinkIsListedOnce) {
    MapLister lister;
    lister.attributes["Z:\\share"] = kFolder;
    lister.folders["Z:\\share\\"] = {{"a.txt", kFile, 0}, {"up", kFolder, 0}, {"x", kFolder, 0}};
    lister.identities["Z:\\share\\"] = "1:7";
    // "up" is the share again, as its server presents a link to "..".
    lister.folders["Z:\\share\\up\\"] = lister.folders["Z:\\share\\"];
    lister.identities["Z:\\share\\up\\"] = "1:7";
    lister.folders["Z:\\share\\x\\"] = {{"b.txt", kFile, 0}};  // no identity: listed
    bool allRead = false;
    EXPECT_EQ(Walked({"Z:\\share"}, lister, &allRead),
              (std::vector<std::string>{"Z:\\share\\a.txt", "Z:\\share\\x\\b.txt"}));
    EXPECT_TRUE(allRead);  // nothing went unread: the folder's files were scanned once
}

// Guards against a Stop that waits for the walk of a whole drive.
TEST(TargetWalk, StoppingEndsTheWalkInsideAFolder) {
    MapLister lister;
    lister.attributes["C:\\big"] = kFolder;
    for (int i = 0; i < 1000; ++i)
        lister.folders["C:\\big\\"].push_back({"f" + std::to_string(i), kFile, 0});
    int files = 0;
    WalkTargets({"C:\\big"}, lister,
                {[&](std::string) { ++files; }, [&] { return files >= 3; }, {}});
    EXPECT_EQ(files, 3);
}

// Guards against a scan through clamd entering a folder the user excluded
// (by any spelling), reaching it as a target of its own or through a target
// inside it, counting it as unread, or leaving out its neighbour whose name
// only starts like it.
TEST(TargetWalk, ExcludedFoldersAreNeverEntered) {
    MapLister lister;
    lister.attributes["C:\\t"] = kFolder;
    lister.attributes["C:\\t\\skip\\inner"] = kFolder;
    lister.attributes["C:\\t\\skip\\one.exe"] = kFile;
    lister.folders["C:\\t\\"] = {
        {"a.txt", kFile, 0}, {"Skip", kFolder, 0}, {"skipped", kFolder, 0}, {"sub", kFolder, 0}};
    lister.folders["C:\\t\\Skip\\"] = {{"eicar.com", kFile, 0}};
    lister.folders["C:\\t\\skip\\inner\\"] = {{"eicar.com", kFile, 0}};
    lister.folders["C:\\t\\skipped\\"] = {{"b.txt", kFile, 0}};
    lister.folders["C:\\t\\sub\\"] = {{"deep", kFolder, 0}};
    lister.folders["C:\\t\\sub\\deep\\"] = {{"c.txt", kFile, 0}};
    const ExcludedFolders excluded(ParseExcludedFolders("c:/T/skip/\nC:\\t\\sub\\deep"));
    std::vector<std::string> files;
    const bool allRead = WalkTargets(
        {"C:\\t", "C:\\t\\skip\\inner", "C:\\t\\skip\\one.exe"}, lister,
        {[&](std::string path) { files.push_back(std::move(path)); }, [] { return false; },
         [&](const std::string& path) { return excluded.Covers(path); }});
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"C:\\t\\a.txt", "C:\\t\\skipped\\b.txt"}));
    EXPECT_TRUE(allRead);
    for (const std::string& folder : lister.listed)
        EXPECT_FALSE(excluded.Covers(folder)) << folder;
}

}  // namespace
}  // namespace tolvar
