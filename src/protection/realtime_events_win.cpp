#include "protection/realtime_events_win.h"

#include <windows.h>

#include <cstdio>

#include "core/app_error.h"
#include "core/atomic_file.h"
#include "core/folders.h"

namespace tolvar {

namespace {

std::string EventsPath() {
    return Folders().DataFolder + kRealtimeEventsFile;
}

}  // namespace

std::string LocalTimeText() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::vector<RealtimeEvent> LoadRealtimeEvents() {
    const std::string path = EventsPath();
    if (!FileExists(path)) return {};
    try {
        const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
        return ParseRealtimeEvents(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const AppError&) {
        return {};
    }
}

void AddRealtimeEvent(RealtimeEvent event) {
    if (event.time.empty()) event.time = LocalTimeText();
    std::vector<RealtimeEvent> events = LoadRealtimeEvents();
    events.push_back(std::move(event));
    const std::string text = RealtimeEventsText(events);
    WriteFileAtomically(EventsPath(), std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace tolvar
