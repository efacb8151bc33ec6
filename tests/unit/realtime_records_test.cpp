// The list of recent real-time events as its file holds them.

#include <gtest/gtest.h>

#include "protection/realtime_events.h"

namespace tolvar {
namespace {

// Guards against a list that loses an event on the way through its file, a
// field that breaks the line it is in, and one damaged line costing the
// whole list.
TEST(RealtimeEvents, TheListSurvivesItsFileAndADamagedLineCostsOnlyItself) {
    const std::vector<RealtimeEvent> events = {
        {"2026-12-09 14:50:13", "C:\\Users\\Ann\\Downloads\\Rechnung März.exe",
         "Win.Test.EICAR_HDB-1", kActionQuarantined},
        {"2026-12-09 14:51:00", "C:\\Users\\Ann\\Desktop\\tool.exe", "Eicar-Test-Signature",
         std::string(kActionNotRemoved) + ": the vault is full"},
    };
    const std::string text = RealtimeEventsText(events);
    EXPECT_EQ(ParseRealtimeEvents(text), events);

    RealtimeEvent odd = events[0];
    odd.detection = "Name\twith\ttabs";
    odd.action = "line\r\nbreak";
    const std::vector<RealtimeEvent> back = ParseRealtimeEvents(RealtimeEventsText({odd}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].detection, "Name with tabs");
    EXPECT_EQ(back[0].action, "line  break");
    EXPECT_EQ(back[0].file, odd.file);

    const std::string damaged = "garbage without tabs\r\n" + text.substr(0, text.size() / 3) +
                                "\n" + RealtimeEventsText({events[1]});
    const std::vector<RealtimeEvent> kept = ParseRealtimeEvents(damaged);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), events[1]);
}

// Guards against a list that grows for ever in the data folder: only the
// newest events are written.
TEST(RealtimeEvents, OnlyTheNewestAreKept) {
    std::vector<RealtimeEvent> events;
    for (std::size_t k = 0; k < kRealtimeEventsKept + 5; ++k)
        events.push_back(
            {"2026-12-09 10:00:00", "C:\\f" + std::to_string(k), "X", kActionQuarantined});
    const std::vector<RealtimeEvent> kept = ParseRealtimeEvents(RealtimeEventsText(events));
    ASSERT_EQ(kept.size(), kRealtimeEventsKept);
    EXPECT_EQ(kept.front().file, "C:\\f5");
    EXPECT_EQ(kept.back().file, events.back().file);
}

}  // namespace
}  // namespace tolvar
