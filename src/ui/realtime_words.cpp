#include "ui/realtime_words.h"

#include <string_view>

namespace tolvar {

std::string RealtimeTip(const std::string& title, bool wanted, bool active) {
    const char* state = active ? "on" : wanted ? "waiting for the engine" : "off";
    return title + " - real-time protection " + state;
}

namespace {

// The file's own name: a balloon has room for little, and the folder is in
// the Protection window's list of events.
std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why the file stayed, from an action such as "found, not removed: in use";
// empty when the action names no reason.
std::string ReasonOf(std::string_view action) {
    const std::string_view prefix = kActionNotRemoved;
    if (action.substr(0, prefix.size()) == prefix) action.remove_prefix(prefix.size());
    const std::size_t first = action.find_first_not_of(" :;,-(");
    if (first == std::string_view::npos) return {};
    action.remove_prefix(first);
    while (!action.empty() && (action.back() == ')' || action.back() == ' '))
        action.remove_suffix(1);
    return std::string(action);
}

}  // namespace

DetectionBalloon DetectionBalloonOf(const RealtimeEvent& event) {
    DetectionBalloon balloon;
    const std::string found = event.detection + " in " + NameOf(event.file);
    if (event.action == kActionQuarantined) {
        balloon.title = "Threat quarantined";
        balloon.text = found + " was moved to the quarantine vault.";
        return balloon;
    }
    balloon.title = "Threat found, not removed";
    balloon.warning = true;
    const std::string reason = ReasonOf(event.action);
    balloon.text = found + (reason.empty() ? " could not be removed." : ": " + reason + ".");
    return balloon;
}

}  // namespace tolvar
