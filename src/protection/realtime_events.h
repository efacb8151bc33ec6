#pragma once

// The list of recent real-time events (what was found, where, and what was
// done about it), kept as a UTF-8 text file in the data folder, one event a
// line, its fields apart by tabs (no Windows file name holds one). Only the
// newest events are kept; a damaged line is skipped, never the whole list.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

inline constexpr const char* kRealtimeEventsFile = "realtime_events.txt";
inline constexpr std::size_t kRealtimeEventsKept = 200;

// What was done about a detection.
inline constexpr const char* kActionQuarantined = "quarantined";
inline constexpr const char* kActionNotRemoved = "found, not removed";

struct RealtimeEvent {
    std::string time;       // local time, "2026-12-09 14:50:13"
    std::string file;       // the path the file had
    std::string detection;  // the engine's name for what it found
    std::string action;     // kActionQuarantined, or kActionNotRemoved and why
    bool operator==(const RealtimeEvent&) const = default;
};

// Oldest first, as the file holds them.
std::vector<RealtimeEvent> ParseRealtimeEvents(std::string_view text);
// The newest kRealtimeEventsKept of events as the file's text; a tab or a
// line break inside a field is written as a space.
std::string RealtimeEventsText(const std::vector<RealtimeEvent>& events);

}  // namespace tolvar
