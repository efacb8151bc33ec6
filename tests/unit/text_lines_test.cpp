// Texts split into lines whatever their line ends, and joined for Windows
// controls: a text stored with LF ends must keep every line, and one with a
// final line end must not grow an empty last line.

#include <gtest/gtest.h>

#include "framework/text_lines.h"

namespace tolvar {
namespace {

using Lines = std::vector<std::string>;

TEST(TextLines, EveryKindOfLineEndEndsOneLine) {
    EXPECT_EQ(SplitLines("a\nb\r\nc\rd"), (Lines{"a", "b", "c", "d"}));
    // CR LF is one end, LF CR two.
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
}

TEST(TextLines, AFinalLineEndClosesTheLastLine) {
    EXPECT_EQ(SplitLines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("a\n\n"), (Lines{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("\n"), (Lines{""}));
}

TEST(TextLines, JoinedWithCrLfBetweenLinesOnly) {
    EXPECT_EQ(JoinCrLf({"a", "", "b"}), "a\r\n\r\nb");
    EXPECT_EQ(JoinCrLf({}), "");
    EXPECT_EQ(SplitLines(JoinCrLf(SplitLines("x\ny\n\nz\n"))), (Lines{"x", "y", "", "z"}));
}

}  // namespace
}  // namespace tolvar
