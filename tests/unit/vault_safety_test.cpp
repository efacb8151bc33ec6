// What the elevated program accepts from what others may write: who may
// change the vault, and where a restore may write.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/folder_protection.h"
#include "quarantine/restore_target.h"

namespace tolvar {
namespace {

const std::string kUser = "S-1-5-21-1-2-3-1001";
const std::string kUsers = "S-1-5-32-545";
const std::string kEveryone = "S-1-1-0";
constexpr std::uint32_t kFullControl = 0x001F01FF;
constexpr std::uint32_t kReadAndExecute = 0x001200A9;

const std::vector<std::string> kAdminsAndSystem{kAdministratorsSid, kLocalSystemSid};

SecurityView Protected() {
    SecurityView view;
    view.owner = kAdministratorsSid;
    view.hasAccessList = true;
    view.entries = {{true, false, kFullControl, kAdministratorsSid},
                    {true, false, kFullControl, kLocalSystemSid}};
    return view;
}

// Guards against trusting a vault that a program without administrator
// rights could have rewritten: by a grant, by owning it, or by having no
// access list at all.
TEST(VaultProtection, AnyWayForOthersToChangeItCounts) {
    EXPECT_FALSE(OthersCanChange(Protected(), kAdminsAndSystem));

    SecurityView readable = Protected();
    readable.entries.push_back({true, false, kReadAndExecute, kUsers});
    EXPECT_FALSE(OthersCanChange(readable, kAdminsAndSystem)) << "reading changes nothing";

    for (const std::uint32_t right : {0x2u, 0x4u, 0x10u, 0x40u, 0x100u, 0x10000u, 0x40000u,
                                      0x80000u, 0x10000000u, 0x40000000u, kFullControl}) {
        SecurityView writable = Protected();
        writable.entries.push_back({true, false, right, kUser});
        EXPECT_TRUE(OthersCanChange(writable, kAdminsAndSystem)) << std::hex << right;
    }

    SecurityView owned = Protected();
    owned.owner = kUser;  // an owner may always rewrite the list
    EXPECT_TRUE(OthersCanChange(owned, kAdminsAndSystem));
    owned.owner = "";
    EXPECT_TRUE(OthersCanChange(owned, kAdminsAndSystem));

    SecurityView noList = Protected();
    noList.hasAccessList = false;  // a null list lets everyone do anything
    noList.entries.clear();
    EXPECT_TRUE(OthersCanChange(noList, kAdminsAndSystem));

    SecurityView ownerRights = Protected();
    ownerRights.entries.push_back({true, false, kFullControl, kOwnerRightsSid});
    EXPECT_FALSE(OthersCanChange(ownerRights, kAdminsAndSystem));
    ownerRights.owner = kUser;
    EXPECT_TRUE(OthersCanChange(ownerRights, {kAdministratorsSid, kLocalSystemSid}));
}

// Guards against entries that give nothing to the object itself (denials,
// grants to what it will hold) counting as a way in, which would have the
// start "repair" a sound vault every time.
TEST(VaultProtection, DenialsAndInheritOnlyGrantsGiveNothing) {
    SecurityView view = Protected();
    view.entries.push_back({false, false, kFullControl, kEveryone});
    view.entries.push_back({true, true, kFullControl, "S-1-3-0"});  // CREATOR OWNER
    EXPECT_FALSE(OthersCanChange(view, kAdminsAndSystem));
}

// Guards against both ways of getting the writers wrong: letting the user in
// where the file system keeps owners (the user's own programs run without
// administrator rights), and finding every vault open where it keeps none.
// Guards against taking a vault for one whose copies cannot run when the
// denial misses them: given to someone else than Everyone, for another
// right, or on the folder alone (not handed to the files it holds).
TEST(VaultProtection, OnlyADenialOfRunningToEveryoneThatFilesInheritCounts) {
    EXPECT_FALSE(DeniesRunningFiles(Protected()));
    const AccessEntry denial{false, true, kExecuteRight, kEveryoneSid, true};
    SecurityView vault = Protected();
    vault.entries.insert(vault.entries.begin(), denial);
    EXPECT_TRUE(DeniesRunningFiles(vault));
    vault.hasAccessList = false;
    EXPECT_FALSE(DeniesRunningFiles(vault)) << "no list lets everyone do anything";

    AccessEntry toUsers = denial;
    toUsers.sid = kUsers;
    AccessEntry writing = denial;
    writing.rights = 0x2;
    AccessEntry folderOnly = denial;
    folderOnly.toFiles = false;
    AccessEntry granted = denial;
    granted.allows = true;
    for (const AccessEntry& entry : {toUsers, writing, folderOnly, granted}) {
        SecurityView view = Protected();
        view.entries.insert(view.entries.begin(), entry);
        EXPECT_FALSE(DeniesRunningFiles(view)) << entry.sid << " " << entry.rights;
    }
}

TEST(VaultProtection, TheUserCountsAsAWriterOnlyWhereFilesKeepNoOwner) {
    EXPECT_EQ(TrustedWriters(kAdministratorsSid, kUser), kAdminsAndSystem);
    EXPECT_EQ(TrustedWriters(kUsers, kUser), kAdminsAndSystem);
    EXPECT_EQ(TrustedWriters("", ""), kAdminsAndSystem);
    const std::vector<std::string> withUser{kAdministratorsSid, kLocalSystemSid, kUser};
    EXPECT_EQ(TrustedWriters(kUser, kUser), withUser);

    // There only a grant to someone else tells a vault opened to others.
    SecurityView ownerless;
    ownerless.owner = kUser;
    ownerless.hasAccessList = true;
    ownerless.entries = {{true, false, kFullControl, kLocalSystemSid},
                         {true, false, kFullControl, kUser},
                         {true, false, kReadAndExecute, kEveryone}};
    EXPECT_FALSE(OthersCanChange(ownerless, withUser));
    ownerless.entries.back().rights = kFullControl;
    EXPECT_TRUE(OthersCanChange(ownerless, withUser));
}

// Guards against a planted record making the elevated restore write to a
// device, a stream, a network share, or a path Windows reads as another.
TEST(RestoreTarget, OnlyAPlainPathOnADrive) {
    for (const std::string path : {"C:\\Users\\me\\a.exe", "d:\\a", "C:\\x\\CONSOLE.txt",
                                   "C:\\x\\COM10", "C:\\x\\nul-not", "C:\\a b\\c.d.exe"}) {
        EXPECT_EQ(RestoreTargetProblem(path), "") << path;
    }
    const std::vector<std::string> refused = {
        "",
        "a.exe",
        "\\a.exe",
        "C:a.exe",
        "C:\\",
        "C:/a.exe",
        "\\\\server\\share\\a.exe",
        "\\\\?\\C:\\a.exe",
        "\\\\.\\C:\\a.exe",
        "1:\\a.exe",
        "C:\\x\\..\\Windows\\a.dll",
        "C:\\x\\.\\a.exe",
        "C:\\x\\\\a.exe",
        "C:\\x\\",
        "C:\\x\\a.exe:stream",
        "C:\\x\\a.exe::$DATA",
        "C:\\x\\CON",
        "C:\\x\\con.txt",
        "C:\\x\\NUL",
        "C:\\x\\aux.tar.gz",
        "C:\\x\\COM1",
        "C:\\x\\lpt9.log",
        "C:\\x\\COM\xC2\xB9",
        "C:\\x\\CONIN$",
        "C:\\x\\PRN \\a.exe",
        "C:\\x\\a.exe.",
        "C:\\x\\a.exe ",
        "C:\\x\\a?.exe",
        "C:\\x\\a*.exe",
        "C:\\x\\a|b",
        "C:\\x\\a<b",
        "C:\\x\\a\"b",
        std::string("C:\\x\\a\x01.exe"),
        "C:\\" + std::string(257, 'a'),
    };
    for (const std::string& path : refused)
        EXPECT_NE(RestoreTargetProblem(path), "") << path;
    EXPECT_EQ(RestoreTargetProblem("C:\\" + std::string(256, 'a')), "");
}

}  // namespace
}  // namespace tolvar
