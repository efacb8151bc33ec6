// The requests of a scan through clamd, answered by replies worded as
// Debian's clamd 1.4.6 sent them (see clamd_protocol_test.cpp).

#include <gtest/gtest.h>

#include "scan/clamd_requests.h"

namespace tolvar {
namespace {

ClamdReply Reply(std::string_view text) {
    return ParseClamdReply(text);
}

// Guards against matching replies by order or by path: clamd answers out of
// order, and its FOUND names the path it finally reached, while the list
// must show (and the removal act on) the path the program sent.
TEST(ClamdRequests, RepliesAreMatchedByNumberAndNameThePathSent) {
    ClamdRequestBook book;
    EXPECT_EQ(book.Sent("C:\\t\\clam.exe"), 1u);
    EXPECT_EQ(book.Sent("C:\\t\\clean.txt"), 2u);
    EXPECT_EQ(book.InFlight(), 2u);

    const auto clean = book.Answer(Reply("2: C:\\t\\clean.txt: OK"));
    ASSERT_TRUE(clean);
    EXPECT_EQ(clean->kind, ClamdFileResult::Kind::Clean);
    EXPECT_EQ(clean->path, "C:\\t\\clean.txt");

    const auto found = book.Answer(Reply("1: /tmp/cd/files/clam.exe: Clamav.Test.File-6 FOUND"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->kind, ClamdFileResult::Kind::Found);
    EXPECT_EQ(found->path, "C:\\t\\clam.exe");
    EXPECT_EQ(found->detail, "Clamav.Test.File-6");
    EXPECT_EQ(book.InFlight(), 0u);
}

// Guards against counting a file twice (an empty file's "Empty file" and
// its OK) or counting replies that answer nothing of ours.
TEST(ClamdRequests, EachRequestEndsOnceAndStrayRepliesEndNone) {
    ClamdRequestBook book;
    book.Sent("C:\\t\\empty.txt");
    book.Sent("C:\\t\\nope");
    book.Sent("C:\\t\\vault\\clam.exe");
    EXPECT_FALSE(book.Answer(Reply("1: C:\\t\\empty.txt: Empty file")));
    ASSERT_TRUE(book.Answer(Reply("1: C:\\t\\empty.txt: OK")));
    EXPECT_FALSE(book.Answer(Reply("1: C:\\t\\empty.txt: OK")));
    EXPECT_FALSE(book.Answer(Reply("9: PONG")));
    EXPECT_FALSE(book.Answer(Reply("COMMAND READ TIMED OUT")));

    const auto error = book.Answer(
        Reply("2: /tmp/cd/files/nope: File path check failure: No such file or directory. ERROR"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, ClamdFileResult::Kind::Unread);
    EXPECT_EQ(error->path, "C:\\t\\nope");
    const auto excluded = book.Answer(Reply("3: /tmp/cd/files/vault/clam.exe: Excluded"));
    ASSERT_TRUE(excluded);
    EXPECT_EQ(excluded->kind, ClamdFileResult::Kind::Excluded);
    EXPECT_EQ(book.InFlight(), 0u);
}

// Guards against losing or repeating files when a session ends early (the
// size limit's close, a pause past clamd's ReadTimeout): what was unanswered
// goes again, oldest first, under the new session's numbers from 1.
TEST(ClamdRequests, ANewSessionHandsBackTheUnansweredAndNumbersFromOne) {
    ClamdRequestBook book;
    book.Sent("a");
    book.Sent("big");
    book.Sent("c");
    book.Sent("d");
    ASSERT_TRUE(book.Answer(Reply("2: INSTREAM size limit exceeded. ERROR")));
    ASSERT_TRUE(book.Answer(Reply("4: stream: OK")));
    EXPECT_EQ(book.NewSession(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(book.InFlight(), 0u);
    EXPECT_EQ(book.Sent("a"), 1u);
    // A late reply of the old session's number 4 now answers nothing sent.
    EXPECT_FALSE(book.Answer(Reply("4: stream: OK")));
}

// Guards against a session that fills clamd's queue (at MaxQueue, 100, it
// stops taking commands) or that starves its threads.
TEST(ClamdRequests, TheLimitKeepsEveryThreadBusyAndStaysFarBelowTheQueue) {
    EXPECT_EQ(ClamdRequestsInFlight(1), 16u);
    EXPECT_EQ(ClamdRequestsInFlight(2), 32u);
    EXPECT_EQ(ClamdRequestsInFlight(64), 64u);
}

}  // namespace
}  // namespace tolvar
