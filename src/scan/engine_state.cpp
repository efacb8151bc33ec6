#include "scan/engine_state.h"

namespace tolvar {

namespace {

constexpr const char* kClamscanName = "clamscan";

std::string NotAvailable(const std::string& reason) {
    std::string words = "not available: clamscan is used";
    if (!reason.empty()) words += " (" + reason + ")";
    return words;
}

std::string ReadyWords(const std::optional<ClamdVersion>& version) {
    return DaemonName(version) + ", ready";
}

std::string OwnStateWords(const DaemonStatus& own) {
    switch (own.phase) {
        case DaemonPhase::Ready:
            return ReadyWords(own.version) +
                   (own.reloading ? " (loading the new signatures; scans go on meanwhile)" : "");
        case DaemonPhase::Loading:
            return "loading signatures (clamscan is used until they are loaded)";
        case DaemonPhase::Off:
        case DaemonPhase::Failed:
            return NotAvailable(own.reason);
    }
    return NotAvailable(own.reason);
}

}  // namespace

bool DaemonStatus::operator==(const DaemonStatus& other) const {
    const auto versionText = [](const std::optional<ClamdVersion>& v) {
        return v ? v->engine + "/" + (v->database ? std::to_string(*v->database) : "") : "-";
    };
    return phase == other.phase && address == other.address &&
           versionText(version) == versionText(other.version) && reloading == other.reloading &&
           reason == other.reason;
}

std::string DaemonName(const std::optional<ClamdVersion>& version) {
    if (!version || version->engine.empty()) return "ClamAV daemon";
    return "ClamAV " + version->engine + " daemon";
}

ScanEngineChoice ChooseScanEngine(const EngineSetting& setting, const DaemonStatus& own,
                                  const RemoteStatus& remote) {
    ScanEngineChoice choice;
    switch (setting.mode) {
        case EngineMode::Clamscan:
            break;
        case EngineMode::Address:
            if (remote.answered) {
                choice.clamd = setting.address;
                choice.name = DaemonName(remote.version);
            }
            break;
        case EngineMode::Automatic:
            if (own.phase == DaemonPhase::Ready && own.address) {
                choice.clamd = own.address;
                choice.name = DaemonName(own.version);
            }
            break;
    }
    if (!choice.clamd) choice.name = kClamscanName;
    return choice;
}

EngineWords DescribeEngine(const EngineSetting& setting, const DaemonStatus& own,
                           const RemoteStatus& remote) {
    EngineWords words;
    switch (setting.mode) {
        case EngineMode::Clamscan:
            words.engine = kClamscanName;
            words.state = "clamscan is used for every scan, as the engine setting asks";
            break;
        case EngineMode::Address: {
            const std::string where = ClamdAddressText(*setting.address);
            if (!remote.asked) {
                words.engine = "the clamd at " + where;
                words.state = "asked when a scan begins";
            } else if (remote.answered) {
                words.engine = DaemonName(remote.version) + " at " + where;
                words.state = ReadyWords(remote.version);
            } else {
                words.engine = kClamscanName;
                words.state = NotAvailable("the clamd at " + where + " did not answer" +
                                           (remote.reason.empty() ? "" : ": " + remote.reason));
            }
            break;
        }
        case EngineMode::Automatic:
            words.engine = own.phase == DaemonPhase::Ready
                               ? DaemonName(own.version) + " (the program's own)"
                               : std::string(kClamscanName);
            words.state = OwnStateWords(own);
            break;
    }
    if (!setting.unreadable.empty()) {
        words.note = "The stored engine setting \"" + setting.unreadable +
                     "\" is neither an address nor \"clamscan\": the program chooses the "
                     "engine itself until it is corrected.";
    }
    return words;
}

}  // namespace tolvar
