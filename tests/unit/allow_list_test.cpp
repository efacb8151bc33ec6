// The allow and ignore lists' text, as ClamAV's clamscan 1.4.6 read it
// here: "<MD5>:<size>:<name>" lets that content pass whatever the name
// holds short of a colon or a line break, and an ignore list names one
// detection a line.

#include <gtest/gtest.h>

#include "quarantine/allow_list.h"

namespace tolvar {
namespace {

const char* const kEicarMd5 = "44d88612fea8a8f36de82e1278abb02f";

// Guards against losing what a person wrote into the list by hand when the
// program adds or takes back an entry, against a second line for a content
// already allowed, and against taking back another content's entry.
TEST(AllowList, EntriesComeAndGoAndEverythingElseStays) {
    const std::string typed =
        "# allowed by the help desk\r\n"
        "275A021BBFB6489E54D471899F7DB9D1:1024:Setup.exe\r\n"
        "not a line ClamAV takes";  // no line break at the end
    ASSERT_EQ(ReadAllowList(typed).size(), 1u);
    EXPECT_EQ(ReadAllowList(typed)[0].md5, "275a021bbfb6489e54d471899f7db9d1");
    EXPECT_EQ(ReadAllowList(typed)[0].size, 1024u);

    const std::string added = WithAllowed(typed, {kEicarMd5, 68, "eicar.com"});
    EXPECT_EQ(added,
              "# allowed by the help desk\n"
              "275A021BBFB6489E54D471899F7DB9D1:1024:Setup.exe\n"
              "not a line ClamAV takes\n" +
                  std::string(kEicarMd5) + ":68:eicar.com\n");
    EXPECT_EQ(WithAllowed(added, {kEicarMd5, 68, "another name"}), added);

    // The same digest with another size is another content.
    EXPECT_EQ(WithoutAllowed(added, kEicarMd5, 69), added);
    const std::string taken = WithoutAllowed(added, "275a021bbfb6489e54d471899f7db9d1", 1024);
    ASSERT_EQ(ReadAllowList(taken).size(), 1u);
    EXPECT_EQ(ReadAllowList(taken)[0].name, "eicar.com");
    EXPECT_NE(taken.find("# allowed by the help desk\n"), std::string::npos);
}

// Guards against a name that splits the line into more fields (ClamAV
// then reads the line as another kind of signature or refuses the whole
// list) or into two lines, and against lines that are not entries being
// read as entries.
TEST(AllowList, NamesCannotBreakTheLineAndOnlyWholeEntriesCount) {
    const std::string added =
        WithAllowed("", {kEicarMd5, 68, "C:\\Users\\Jo\\a:b\nc\td \xc3\xa4.com"});
    EXPECT_EQ(added, std::string(kEicarMd5) + ":68:C_\\Users\\Jo\\a_b_c_d \xc3\xa4.com\n");
    EXPECT_EQ(ListSafeName(""), "Allowed");

    EXPECT_TRUE(ReadAllowList("44d88612fea8a8f36de82e1278abb02:68:short digest\n"
                              "44d88612fea8a8f36de82e1278abb02g:68:not hex\n"
                              "44d88612fea8a8f36de82e1278abb02f:-68:signed size\n"
                              "44d88612fea8a8f36de82e1278abb02f::no size\n"
                              "44d88612fea8a8f36de82e1278abb02f:68\n")
                    .empty());
}

// Guards against an ignore list that holds a blank line, a name twice or
// a name with a line break in it, and against losing the colon of a name
// that carries a signature's MD5.
TEST(IgnoreList, OneCleanNameALine) {
    EXPECT_EQ(IgnoreListText({" Eicar-Test-Signature ", "", "Eicar-Test-Signature",
                              "PUA.Win.Tool.Foo:1234abcd", "Two\nLines"}),
              "Eicar-Test-Signature\nPUA.Win.Tool.Foo:1234abcd\nTwo_Lines\n");
    EXPECT_EQ(IgnoreListText({"  ", ""}), "");
    EXPECT_EQ(ReadIgnoreList("A\r\n\r\nB"), (std::vector<std::string>{"A", "B"}));
}

}  // namespace
}  // namespace tolvar
