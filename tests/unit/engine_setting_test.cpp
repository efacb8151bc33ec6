// The engine setting as stored, the clamd.conf the program writes for its
// own clamd, and which engine a scan gets, with the words the Protection
// window shows for it.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "scan/clamd_config.h"
#include "scan/engine_setting.h"
#include "scan/engine_state.h"

namespace tolvar {
namespace {

// What Debian's clamd 1.4.6 answered to zVERSION with a database loaded.
constexpr const char* kVersionReply = "ClamAV 1.4.6/27460/Tue Dec  8 09:27:02 2026";

// A setting typed into the registry by hand must read as what it says, and
// anything unreadable as automatic (never as "scan with nothing").
TEST(EngineSetting, StoredTextsReadAsTheirEngine) {
    EXPECT_EQ(ParseEngineSetting("").mode, EngineMode::Automatic);
    EXPECT_EQ(ParseEngineSetting("  \t").mode, EngineMode::Automatic);
    EXPECT_EQ(ParseEngineSetting("clamscan").mode, EngineMode::Clamscan);
    EXPECT_EQ(ParseEngineSetting(" ClamScan ").mode, EngineMode::Clamscan);

    const EngineSetting office = ParseEngineSetting(" 10.0.0.5:3310 ");
    EXPECT_EQ(office.mode, EngineMode::Address);
    EXPECT_EQ(office.address, (ClamdAddress{"10.0.0.5", 3310}));
    EXPECT_EQ(ParseEngineSetting("[::1]:3310").address, (ClamdAddress{"::1", 3310}));

    for (const char* unreadable : {"clamd", "10.0.0.5", "host:0", "host:65536", "::1:3310"}) {
        const EngineSetting setting = ParseEngineSetting(unreadable);
        EXPECT_EQ(setting.mode, EngineMode::Automatic) << unreadable;
        EXPECT_FALSE(setting.address) << unreadable;
        EXPECT_EQ(setting.unreadable, unreadable);
    }
}

// The window's field: a bad address is refused with a word and nothing is
// stored; what is stored reads back as the same setting.
TEST(EngineSetting, TheFieldStoresOnlyWhatReadsBack) {
    std::string why;
    EXPECT_EQ(EngineSettingToStore("", why), "");
    EXPECT_EQ(EngineSettingToStore(" CLAMSCAN ", why), "clamscan");
    EXPECT_EQ(EngineSettingToStore(" server.example:3310 ", why), "server.example:3310");
    EXPECT_EQ(EngineSettingToStore("[::1]:3310", why), "[::1]:3310");
    EXPECT_TRUE(why.empty());

    for (const char* bad : {"server.example", "server.example:", "10.0.0.5:99999", "a b:3310"}) {
        why.clear();
        EXPECT_FALSE(EngineSettingToStore(bad, why)) << bad;
        EXPECT_NE(why.find("HOST:PORT"), std::string::npos) << why;
    }
    for (const char* text : {"", "clamscan", "10.0.0.5:3310", "[::1]:3310"}) {
        const EngineSetting setting = ParseEngineSetting(text);
        EXPECT_EQ(EngineSettingFieldText(setting), text);
        EXPECT_EQ(EngineSettingToStore(EngineSettingFieldText(setting), why), text);
    }
    // The field shows an unreadable stored text, for the user to correct.
    EXPECT_EQ(EngineSettingFieldText(ParseEngineSetting("clamdd")), "clamdd");
}

TEST(EngineSetting, KeepLoadedIsTickedUnlessZeroIsStored) {
    EXPECT_TRUE(KeepLoadedFrom(std::nullopt));
    EXPECT_TRUE(KeepLoadedFrom(1));
    EXPECT_TRUE(KeepLoadedFrom(7));
    EXPECT_FALSE(KeepLoadedFrom(0));
}

// A data folder whose path holds regex metacharacters ("." in every user
// name with a dot, "(x86)", "+", "$"): unescaped, "." would match any
// character and "(...)" would not match itself, so the vault would be
// scanned (every quarantined file a detection again) or another folder
// skipped.
TEST(ClamdConfig, TheVaultIsExcludedExactlyAndNothingElse) {
    const std::string data = "C:\\Users\\j.doe (x86)+[1]{2}$^|?*\\AppData\\Roaming\\Mirebrook\\";
    ClamdConfig config;
    config.port = 50123;
    config.databaseFolder = data + "database\\";
    config.threads = 4;
    config.vaultFolder = data + "virus_vault";  // without its closing backslash
    const std::string text = ClamdConfigText(config);

    EXPECT_EQ(text,
              "Foreground yes\n"
              "TCPAddr 127.0.0.1\n"
              "TCPSocket 50123\n"
              "DatabaseDirectory " +
                  data +
                  "database\n"
                  "MaxThreads 4\n"
                  "ExcludePath ^C:\\\\Users\\\\j\\.doe \\(x86\\)\\+\\[1\\]\\{2\\}\\$\\^\\|"
                  "\\?\\*\\\\AppData\\\\Roaming\\\\Mirebrook\\\\virus_vault\\\\\n");

    // clamd's own regex library reads a backslash and any character after
    // it as that character, as ECMAScript's identity escapes do (the POSIX
    // modes here refuse "\}" and "\]", which that library takes).
    const std::size_t start = text.find("ExcludePath ") + 12;
    const std::regex exclude(text.substr(start, text.find('\n', start) - start));
    EXPECT_TRUE(std::regex_search(data + "virus_vault\\1234.vir", exclude));
    EXPECT_FALSE(std::regex_search(data + "virus_vault2\\a.exe", exclude));
    EXPECT_FALSE(std::regex_search(data + "database\\daily.cld", exclude));
    EXPECT_FALSE(std::regex_search(
        "C:\\Users\\jXdoe (x86)+[1]{2}$^|?*\\AppData\\Roaming\\Mirebrook\\virus_vault\\a",
        exclude));
    EXPECT_FALSE(std::regex_search("D:\\copy\\" + data + "virus_vault\\a", exclude));
}

TEST(ClamdConfig, AtLeastOneThread) {
    ClamdConfig config;
    config.port = 1;
    config.threads = 0;
    EXPECT_NE(ClamdConfigText(config).find("MaxThreads 1\n"), std::string::npos);
}

DaemonStatus Ready() {
    DaemonStatus own;
    own.phase = DaemonPhase::Ready;
    own.address = ClamdAddress{"127.0.0.1", 50123};
    own.version = ParseClamdVersion(kVersionReply);
    return own;
}

// Guards against a scan sent to a clamd that is still loading (it does not
// listen yet) or that the user turned away from, and against an address
// that did not answer being used all the same.
TEST(EngineChoice, EachSettingGetsItsEngine) {
    const RemoteStatus notAsked;
    DaemonStatus loading;
    loading.phase = DaemonPhase::Loading;

    const ScanEngineChoice own = ChooseScanEngine(EngineSetting{}, Ready(), notAsked);
    EXPECT_EQ(own.clamd, (ClamdAddress{"127.0.0.1", 50123}));
    EXPECT_EQ(own.name, "ClamAV 1.4.6 daemon");
    EXPECT_FALSE(ChooseScanEngine(EngineSetting{}, loading, notAsked).clamd);
    EXPECT_EQ(ChooseScanEngine(EngineSetting{}, loading, notAsked).name, "clamscan");
    EXPECT_FALSE(ChooseScanEngine(ParseEngineSetting("clamscan"), Ready(), notAsked).clamd);
    // An unreadable setting is automatic.
    EXPECT_TRUE(ChooseScanEngine(ParseEngineSetting("clamdd"), Ready(), notAsked).clamd);

    const EngineSetting office = ParseEngineSetting("10.0.0.5:3310");
    RemoteStatus answered;
    answered.asked = answered.answered = true;
    answered.version = ParseClamdVersion("ClamAV 1.0.9/27000/Mon Dec  7 09:00:00 2026");
    const ScanEngineChoice remote = ChooseScanEngine(office, Ready(), answered);
    EXPECT_EQ(remote.clamd, (ClamdAddress{"10.0.0.5", 3310}));
    EXPECT_EQ(remote.name, "ClamAV 1.0.9 daemon");
    RemoteStatus silent;
    silent.asked = true;
    silent.reason = "connection refused";
    // Not the program's own either: the user chose that address.
    EXPECT_FALSE(ChooseScanEngine(office, Ready(), silent).clamd);
}

TEST(EngineChoice, TheWindowSaysWhichEngineAndWhy) {
    EngineWords words = DescribeEngine(EngineSetting{}, Ready(), RemoteStatus{});
    EXPECT_EQ(words.state, "ClamAV 1.4.6 daemon, ready");
    EXPECT_EQ(words.engine, "ClamAV 1.4.6 daemon (the program's own)");
    EXPECT_EQ(words.note, "");

    DaemonStatus status;
    status.phase = DaemonPhase::Loading;
    words = DescribeEngine(EngineSetting{}, status, RemoteStatus{});
    EXPECT_EQ(words.state.rfind("loading signatures", 0), 0u) << words.state;
    EXPECT_EQ(words.engine, "clamscan");

    status.phase = DaemonPhase::Failed;
    status.reason = "clamd.exe ended twice, the last time with exit code 3";
    words = DescribeEngine(EngineSetting{}, status, RemoteStatus{});
    EXPECT_EQ(words.state, "not available: clamscan is used (" + status.reason + ")");

    status.phase = DaemonPhase::Off;
    status.reason = kNoClamdExe;
    EXPECT_EQ(DescribeEngine(ParseEngineSetting("clamdd"), status, RemoteStatus{}).state,
              std::string("not available: clamscan is used (") + kNoClamdExe + ")");
    EXPECT_NE(DescribeEngine(ParseEngineSetting("clamdd"), status, RemoteStatus{})
                  .note.find("\"clamdd\""),
              std::string::npos);

    RemoteStatus silent;
    silent.asked = true;
    silent.reason = "connection refused";
    words = DescribeEngine(ParseEngineSetting("10.0.0.5:3310"), Ready(), silent);
    EXPECT_EQ(words.engine, "clamscan");
    EXPECT_EQ(words.state,
              "not available: clamscan is used (the clamd at 10.0.0.5:3310 did not answer: "
              "connection refused)");

    // A version without a database still names the engine.
    EXPECT_EQ(DaemonName(ParseClamdVersion("ClamAV 1.4.6")), "ClamAV 1.4.6 daemon");
    EXPECT_EQ(DaemonName(std::nullopt), "ClamAV daemon");
}

}  // namespace
}  // namespace tolvar
