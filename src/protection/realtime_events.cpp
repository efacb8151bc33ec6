#include "protection/realtime_events.h"

#include <array>

namespace tolvar {

namespace {

std::string Field(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

}  // namespace

std::vector<RealtimeEvent> ParseRealtimeEvents(std::string_view text) {
    std::vector<RealtimeEvent> events;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::array<std::string_view, 4> fields;
        std::size_t count = 0;
        for (; count < fields.size() && !line.empty(); ++count) {
            const std::size_t tab = line.find('\t');
            // The path comes last: it is the only field that may be long.
            if (count + 1 == fields.size()) {
                fields[count] = line;
                line = {};
            } else {
                if (tab == std::string_view::npos) break;
                fields[count] = line.substr(0, tab);
                line.remove_prefix(tab + 1);
            }
        }
        if (count != fields.size() || fields[0].empty() || fields[3].empty()) continue;
        events.push_back({std::string(fields[0]), std::string(fields[3]), std::string(fields[1]),
                          std::string(fields[2])});
    }
    return events;
}

std::string RealtimeEventsText(const std::vector<RealtimeEvent>& events) {
    std::string text;
    const std::size_t first =
        events.size() > kRealtimeEventsKept ? events.size() - kRealtimeEventsKept : 0;
    for (std::size_t i = first; i < events.size(); ++i) {
        const RealtimeEvent& e = events[i];
        text += Field(e.time) + "\t" + Field(e.detection) + "\t" + Field(e.action) + "\t" +
                Field(e.file) + "\r\n";
    }
    return text;
}

}  // namespace tolvar
