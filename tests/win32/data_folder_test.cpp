// The data folder under an elevated program: closed to others and repaired
// at the start before anything in it is read, with what others could change
// set aside; the detections it passes over (the vault and the databases
// only); and paths that reach it or a user's file through a junction or a
// share. Under Wine an access list comes down to the Unix permissions (an
// entry for everyone is the file's "others"), and a Unix symbolic link
// stands for a junction: Wine follows it as Windows follows one.

#include <gtest/gtest.h>

#include <windows.h>

#include "core/path_compare.h"
#include "core/trusted_files_win.h"
#include "quarantine_fixture.h"
#include "test_mirror.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using test::ClosedToOthers;
using test::Content;

class DataFolder : public test::Quarantine {
protected:
    // A new start of the program: folders, settings, history, vault.
    void restart() { LoadProgramState(scan.Parser().MutableTable()); }

    // The content of the one file of the folder that the start set aside
    // for name; "" when there is none, or more than one.
    static std::string setAside(const std::string& folder, const std::string& name) {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().rfind(name + ".unprotected-", 0) == 0)
                found.push_back(entry.path().string());
        }
        return found.size() == 1 ? Content(found[0]) : std::string();
    }
};

// Guards against an elevated program that trusted a data folder others could
// write: the scan dump named files for the removal to take, the databases
// what the scanner loads. The start closes the folders again and sets aside
// what others could have changed meanwhile, before it reads anything; what
// it wrote itself and kept closed stays in use.
TEST_F(DataFolder, TheStartRepairsTheDataFolderAndSetsAsideWhatOthersCouldChange) {
    const std::string data = Folders().DataFolder;
    const std::string db = Folders().DatabaseFolder;
    EXPECT_TRUE(ClosedToOthers(data));
    EXPECT_TRUE(ClosedToOthers(db));
    EXPECT_EQ(DataFolderTrustProblem(), "");

    // A scan whose finding is left for the next start to offer again.
    scanFinding({"a.exe"});
    const std::string dump = db + "list.gav";
    ASSERT_TRUE(fs::exists(dump));
    const std::string main = test::ClamavTestFile("test-1.cvd");
    const std::string daily = test::ClamavTestFile("test-6.cvd");
    ASSERT_FALSE(main.empty() || daily.empty()) << "ClamAV's test databases are missing";
    std::ofstream(db + "main.cvd", std::ios::binary) << main;
    std::ofstream(db + "daily.cvd", std::ios::binary) << daily;
    auto& table = scan.Parser().MutableTable();
    table[0] = {};
    restart();
    EXPECT_EQ(table[0].FilePath, target("a.exe")) << "a closed dump is read";

    const std::string dumped = Content(dump);
    for (const std::string& opened : {data, db, dump, db + "daily.cvd"})
        ASSERT_TRUE(test::OpenToEveryone(opened)) << opened;
    ASSERT_FALSE(ClosedToOthers(data)) << "the test could not open the folder";
    table[0] = {};
    restart();

    EXPECT_TRUE(ClosedToOthers(data));
    EXPECT_TRUE(ClosedToOthers(db));
    EXPECT_EQ(DataFolderTrustProblem(), "");
    EXPECT_EQ(table[0].FilePath, "") << "a dump others could change was read";
    EXPECT_FALSE(fs::exists(dump));
    EXPECT_EQ(setAside(db, "list.gav"), dumped);
    EXPECT_FALSE(fs::exists(db + "daily.cvd"));
    EXPECT_EQ(setAside(db, "daily.cvd"), daily);
    EXPECT_EQ(Content(db + "main.cvd"), main);
    EXPECT_EQ(setAside(db, "main.cvd"), "");

    // What was set aside is not judged again at the next start.
    restart();
    EXPECT_EQ(setAside(db, "daily.cvd"), daily);
    for (const auto& entry : fs::directory_iterator(db))
        fs::remove(entry.path());
}

// Guards against a hiding place: every detection anywhere in the data folder
// was passed over, and programs without administrator rights could write
// there. Only the vault's copies and the database folder's files are the
// program's own, reached as named or through the long form.
TEST_F(DataFolder, ADetectionInTheDataFolderIsReportedButNotOneInTheVaultOrTheDatabases) {
    const std::string planted = Folders().DataFolder + "planted.exe";
    std::ofstream(planted, std::ios::binary) << "infected:planted.exe";
    script({"out " + test::Escaped(VaultFolder() + "1234a.exe") + ": Worm.a FOUND\\n",
            "out " + test::Escaped("\\\\?\\" + VaultFolder() + "5678a.exe") + ": Worm.a FOUND\\n",
            "out " + test::Escaped(Folders().DatabaseFolder + "daily.cld") + ": Sig FOUND\\n",
            "out " + test::Escaped(planted) + ": Worm.planted FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, planted);

    StartRemoval(scan, windows);
    EXPECT_FALSE(fs::exists(planted));
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Content(Vault().Record(1).VaultPath), "infected:planted.exe");
}

// The data folder, for a test, at another path: stored as the program's
// "appdatapath" and fixed by a start; the folders as they were come back
// when it ends.
class MovedDataFolder {
public:
    MovedDataFolder() : saved_(RegistryKey("appdatapath").ReadText()) {}
    ~MovedDataFolder() {
        RegistryKey("appdatapath").WriteText(saved_);
        FixFolders();
        LoadVault(std::nullopt);
    }
    MovedDataFolder(const MovedDataFolder&) = delete;
    MovedDataFolder& operator=(const MovedDataFolder&) = delete;

private:
    std::string saved_;
};

// Guards against a data folder reached through a junction (a relocated
// profile, %APPDATA% redirected to a share): the vault's path was compared
// with its final path, so every start set the records file aside as open to
// others and every removal refused. The data folder's final path is
// resolved once, at the start: a link turned elsewhere later is refused.
TEST_F(DataFolder, ADataFolderReachedThroughALinkedFolderIsUsedAsItsOwn) {
    fs::create_directories(path("real"));
    const test::FolderLink profile(path("profile"), path("real"));
    ASSERT_TRUE(profile.made());
    const MovedDataFolder moved;
    RegistryKey("appdatapath").WriteText(path("profile") + "\\Mirebrook\\");
    restart();
    ASSERT_EQ(Folders().DataFolder, path("profile") + "\\Mirebrook\\");
    EXPECT_TRUE(SamePath(Folders().FinalDataFolder, path("real") + "\\Mirebrook\\"))
        << Folders().FinalDataFolder;
    EXPECT_TRUE(fs::is_directory(path("real") + "\\Mirebrook\\virus_vault"));
    EXPECT_EQ(DataFolderTrustProblem(), "");
    const test::MainDatabase database;

    scanFinding({"a.exe", "b.exe"});
    StartRemoval(scan, windows);
    EXPECT_EQ(windows.told, std::vector<std::string>{});
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{2, 0}}));
    EXPECT_FALSE(fs::exists(target("a.exe")));
    ASSERT_EQ(Vault().Count(), 2);

    restart();
    EXPECT_EQ(VaultStartNotice(), "");
    EXPECT_EQ(VaultReadOnlyReason(), "");
    ASSERT_EQ(Vault().Count(), 2);
    EXPECT_EQ(setAside(VaultFolder(), "records.gav"), "");
    select(1);
    const std::string restored = Vault().Record(2).FilePath;
    RestoreToOriginal(list);
    EXPECT_EQ(list.notices, std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(restored));
    EXPECT_EQ(Vault().Count(), 1);

    // The link turned to another folder during the run: nothing goes into
    // a vault there, and no scan loads the databases there.
    scanFinding({"c.exe"});
    fs::create_directories(path("other\\Mirebrook\\virus_vault"));
    fs::create_directories(path("other\\Mirebrook\\db"));
    test::RemoveFolderLink(path("profile"));
    const test::FolderLink turned(path("profile"), path("other"));
    ASSERT_TRUE(turned.made());
    windows.told.clear();
    StartRemoval(scan, windows);
    EXPECT_EQ(windows.told.size(), 1u);
    EXPECT_EQ(Content(target("c.exe")), "infected:c.exe");
    EXPECT_TRUE(fs::is_empty(path("other\\Mirebrook\\virus_vault")));
    outcomes.failures.clear();
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(outcomes.failures.size(), 1u);
    EXPECT_NE(outcomes.failures[0].find("reached through a junction or a link"), std::string::npos)
        << outcomes.failures[0];
}

// A network share as Wine serves one, dosdevices\unc\SERVER\SHARE in the
// prefix, for as long as this lives; Windows' name for it and the Z: path
// of its folder.
class WineShare {
public:
    WineShare() {
        char prefix[MAX_PATH] = "";
        const DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
        if (n == 0 || n >= sizeof prefix || prefix[0] != '/') return;
        server_ = "Z:" + std::string(prefix) + "/dosdevices/unc/tolvarsrv";
        for (char& c : server_)
            c = c == '/' ? '\\' : c;
        fs::create_directories(server_ + "\\share\\dir");
    }
    ~WineShare() {
        std::error_code ignored;
        if (!server_.empty()) fs::remove_all(server_, ignored);
    }
    WineShare(const WineShare&) = delete;
    WineShare& operator=(const WineShare&) = delete;

    bool made() const { return !server_.empty() && fs::is_directory(folder()); }
    std::string folder() const { return server_ + "\\share"; }  // on Z:
    static std::string name() { return "\\\\tolvarsrv\\share"; }

private:
    std::string server_;
};

// Guards against a detection on a share never being removed: clamscan names
// it "\\?\UNC\server\share\...", while its final path reads
// "\\server\share\..." (and under Wine the share's folder on Z:). The
// share's root is resolved as a drive's is; a link inside the share is still
// refused.
TEST_F(DataFolder, ADetectionOnAShareInItsLongFormIsRemovedButNotThroughALink) {
    const WineShare share;
    ASSERT_TRUE(share.made());
    std::ofstream(WineShare::name() + "\\dir\\x.exe", std::ios::binary) << "infected:x.exe";
    std::ofstream(WineShare::name() + "\\dir\\y.exe", std::ios::binary) << "not to be touched";
    ASSERT_EQ(Content(share.folder() + "\\dir\\x.exe"), "infected:x.exe");
    const test::FolderLink linked(share.folder() + "\\linked", share.folder() + "\\dir");
    ASSERT_TRUE(linked.made());
    const std::string reported = "\\\\?\\UNC\\tolvarsrv\\share\\dir\\x.exe";
    script({"out " + test::Escaped(reported) + ": Worm.x FOUND\\n",
            "out " + test::Escaped("\\\\?\\UNC\\tolvarsrv\\share\\linked\\y.exe") +
                ": Worm.y FOUND\\n",
            "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 2);

    StartRemoval(scan, windows);
    EXPECT_FALSE(fs::exists(share.folder() + "\\dir\\x.exe"));
    EXPECT_EQ(Content(share.folder() + "\\dir\\y.exe"), "not to be touched");
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{1, 1}}));
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, reported);
    EXPECT_EQ(Content(Vault().Record(1).VaultPath), "infected:x.exe");
}

}  // namespace
}  // namespace tolvar
