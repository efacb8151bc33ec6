// The program's one text encoding: UTF-8 checked, cut and compared without
// ever splitting a character; text of the system's legacy code pages turned
// into it (the OEM pages a scanner writes its report in, the ANSI page older
// builds stored their records in). The conversion is the platform's own, so
// the same expectations hold natively (iconv) and under Wine (Windows).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/code_pages.h"
#include "core/infection_record.h"
#include "core/short_string.h"
#include "core/utf8_text.h"

namespace tolvar {
namespace {

TEST(Utf8Text, WellFormedOnlyWhenEveryCharacterIs) {
    for (const char* good : {"", "C:\\plain\\ascii.txt", "Zo\xC3\xAB", "\xE2\x82\xAC 5",
                             "\xE8\xAB\x8B\xE6\xB1\x82", "\xF0\x9F\x98\x80"}) {
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    }
    const std::string bad[] = {
        "Zo\xEB",                                 // ANSI e with diaeresis
        "M\x84rz",                                // OEM a with diaeresis
        "\xC3",                                   // a character cut short
        "abc\x80",                                // a stray continuation byte
        "\xC0\xAF",                               // an overlong "/"
        "\xE0\x80\xAF",                           // another overlong "/"
        "\xED\xA0\x80",                           // a surrogate
        "\xF4\x90\x80\x80",                       // past U+10FFFF
        std::string(20, 'a') + "\xFF" + "bcdef",  // past the eight-byte steps
    };
    for (const std::string& text : bad)
        EXPECT_FALSE(IsValidUtf8(text)) << text;
}

// Guards against a cut inside a character, which leaves a field that is no
// longer UTF-8 and a name that shows garbage.
TEST(Utf8Text, CutsAndTailsNeverSplitACharacter) {
    const std::string name = "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a ü € 😀 z
    EXPECT_EQ(Utf8PrefixOfBytes(name, 1), "a");
    EXPECT_EQ(Utf8PrefixOfBytes(name, 2), "a");
    EXPECT_EQ(Utf8PrefixOfBytes(name, 3), "a\xC3\xBC");
    EXPECT_EQ(Utf8PrefixOfBytes(name, 5), "a\xC3\xBC");
    EXPECT_EQ(Utf8PrefixOfBytes(name, 9), "a\xC3\xBC\xE2\x82\xAC");
    EXPECT_EQ(Utf8PrefixOfBytes(name, 99), name);

    EXPECT_EQ(Utf8FirstChars(name, 2), "a\xC3\xBC");
    EXPECT_EQ(Utf8LastChars(name, 2), "\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8LastChars(name, 3), "\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8LastChars(name, 50), name);

    // 254 ASCII bytes and a euro sign do not fit 255: the euro goes whole.
    const std::string text = std::string(254, 'x') + "\xE2\x82\xAC";
    std::array<std::uint8_t, 256> field{};
    WriteShortString(field.data(), 255, text);
    EXPECT_EQ(field[0], 254);
    EXPECT_EQ(ReadShortString(field.data(), 255), std::string(254, 'x'));
    EXPECT_EQ(CutToField(text, 255), std::string(254, 'x'));
}

TEST(Utf8Text, PathCaseFoldedLikeTheFileSystemForCommonScripts) {
    EXPECT_EQ(FoldCaseForPath("C:\\ZO\xC3\x8B\\\xD0\x9F\xD0\xA0\xD0\x98\\Stra\xC3\x9F"
                              "e\\\xC5\x81\xC3\x93\xCE\xA3"),
              "c:\\zo\xC3\xAB\\\xD0\xBF\xD1\x80\xD0\xB8\\stra\xC3\x9F"
              "e\\\xC5\x82\xC3\xB3\xCF\x83");
    EXPECT_EQ(FoldCaseForPath("\xE8\xAB\x8B\xE6\xB1\x82.TXT"), "\xE8\xAB\x8B\xE6\xB1\x82.txt");
}

// Guards against reading the report in the wrong code page: the same bytes
// name different letters in the two Western OEM pages.
TEST(CodePages, OemPagesOf437And850) {
    // "März" and "Zoë" are the same bytes in both.
    for (unsigned page : {437u, 850u}) {
        EXPECT_EQ(CodePageToUtf8("M\x84rz", page), "M\xC3\xA4rz") << page;
        EXPECT_EQ(CodePageToUtf8("Zo\x89", page), "Zo\xC3\xAB") << page;
        EXPECT_EQ(CodePageToUtf8("Stra\xE1"
                                 "e",
                                 page),
                  "Stra\xC3\x9F"
                  "e")
            << page;
    }
    EXPECT_EQ(CodePageToUtf8("\x9B", 437), "\xC2\xA2");  // cent sign
    EXPECT_EQ(CodePageToUtf8("\x9B", 850), "\xC3\xB8");  // o with stroke
    EXPECT_EQ(CodePageToUtf8("\xD5", 437), "\xE2\x95\x92");
    EXPECT_EQ(CodePageToUtf8("\xD5", 850), "\xC4\xB1");  // dotless i
    EXPECT_EQ(CodePageToUtf8("\xE9\x80", 1252), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(CodePageToUtf8("", 850), "");
}

// Guards against records of an older build (ANSI bytes) showing garbage or
// being taken for UTF-8 that is not.
TEST(ShortStrings, LegacyAnsiFieldsAreConvertedAndStillFit) {
    const LegacyCodePages pages = SystemCodePages();
    ASSERT_NE(pages.ansi, 65001u);
    ASSERT_NE(pages.oem, 65001u);

    std::array<std::uint8_t, 256> field{};
    const std::string legacy = "C:\\Users\\Zo\xEB\\x.exe";  // 1252
    field[0] = static_cast<std::uint8_t>(legacy.size());
    std::copy(legacy.begin(), legacy.end(), field.begin() + 1);
    const std::string read = ReadShortString(field.data(), 255);
    EXPECT_EQ(read, CodePageToUtf8(legacy, pages.ansi));
    EXPECT_TRUE(IsValidUtf8(read));
    if (pages.ansi == 1252) {
        EXPECT_EQ(read, "C:\\Users\\Zo\xC3\xAB\\x.exe");
    }

    // 255 accented letters take 510 bytes in UTF-8: cut, and marked so the
    // cut text names no file.
    field.fill(0xE9);
    field[0] = 255;
    const std::string long_ = ReadShortString(field.data(), 255);
    EXPECT_LE(long_.size(), 255u);
    EXPECT_TRUE(IsValidUtf8(long_));
    EXPECT_EQ(long_.back(), '?');
    EXPECT_FALSE(NamesAFile("C:\\" + long_));
}

// Guards against acting on a path that was cut or that the scanner could
// not write: the removal would hit another file, or none.
TEST(InfectionPaths, OnlyWholeAbsolutePathsNameAFile) {
    for (const char* path : {"C:\\a.exe", "d:\\Zo\xC3\xAB\\x", "\\\\srv\\share\\x.exe",
                             "\\\\?\\C:\\long\\x.exe", "\\\\?\\UNC\\srv\\share\\x.exe"}) {
        EXPECT_TRUE(NamesAFile(path)) << path;
    }
    for (const char* path :
         {"", "a.exe", "C:a.exe", "\\x.exe", "C:\\Users\\???\\x.exe", "C:\\report.pdf?",
          "C:\\a*.exe", "C:\\a|b", "C:\\a\tb", "\\\\?\\C:\\a?b", "\\\\"}) {
        EXPECT_FALSE(NamesAFile(path)) << path;
    }
    // Exactly 255 bytes fit and stay whole; 258 do not and are marked.
    const std::string fits = "C:\\" + std::string(248, 'p') + ".exe";
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(CutToFieldMarked(fits, 255), fits);
    const std::string tooLong = "C:\\" + std::string(243, 'p') + "\\report.pdf.exe";
    ASSERT_EQ(tooLong.size(), 261u);
    const std::string cut = CutToFieldMarked(tooLong, 255);
    EXPECT_EQ(cut, tooLong.substr(0, 254) + "?");
    EXPECT_FALSE(NamesAFile(cut));
}

}  // namespace
}  // namespace tolvar
