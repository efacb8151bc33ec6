#include "protection/realtime_protection_win.h"

#include "protection/realtime_setting_win.h"
#include "scan/clamd_daemon_win.h"

namespace tolvar {

class RealtimeProtection::Service {};

RealtimeProtection::RealtimeProtection(ClamdDaemon& daemon) : daemon_(daemon) {}

RealtimeProtection::~RealtimeProtection() {
    ShutDown();
}

void RealtimeProtection::Apply() {
    wanted_ = RealtimeWanted();
    if (onChange) onChange();
}

void RealtimeProtection::ShutDown() {
    service_.reset();
}

bool RealtimeProtection::Wanted() const {
    return wanted_;
}

bool RealtimeProtection::Active() const {
    return wanted_ && service_ != nullptr;
}

std::string RealtimeProtection::StateWords() const {
    if (!wanted_) return "Off";
    return Active() ? "On" : "Waiting for the scan engine";
}

}  // namespace tolvar
