#pragma once

// The recent real-time events, in the data folder.

#include <string>
#include <vector>

#include "protection/realtime_events.h"

namespace tolvar {

// The local time now as the list writes it.
std::string LocalTimeText();

// Oldest first; none when the file is missing or cannot be read.
std::vector<RealtimeEvent> LoadRealtimeEvents();
// Adds an event, stamped with the local time now when it has none, and
// writes the list anew in one replace; throws AppError when it cannot.
void AddRealtimeEvent(RealtimeEvent event);

}  // namespace tolvar
