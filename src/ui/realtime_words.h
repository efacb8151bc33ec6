#pragma once

// What the tray says of real-time protection: the icon's tip, and the
// balloon of a detection it dealt with.

#include <string>

#include "protection/realtime_events.h"

namespace tolvar {

// The tip: the program's title and whether real-time protection is on,
// off, or waiting for the scan engine (wanted, none loaded yet). It fits
// the 63 characters of the tray's oldest tip field with the program's title.
std::string RealtimeTip(const std::string& title, bool wanted, bool active);

struct DetectionBalloon {
    std::string title;
    std::string text;
    bool warning = false;
};

// "Threat quarantined" with the detection name and the file's name; an
// event whose file was not removed is a warning and says why.
DetectionBalloon DetectionBalloonOf(const RealtimeEvent& event);

}  // namespace tolvar
