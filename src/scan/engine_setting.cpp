#include "scan/engine_setting.h"

#include "core/ascii_text.h"

namespace tolvar {

namespace {

bool IsClamscanWord(std::string_view text) {
    return EqualIgnoringCase(text, kClamscanSetting);
}

}  // namespace

EngineSetting ParseEngineSetting(std::string_view stored) {
    const std::string_view text = Trim(stored);
    EngineSetting setting;
    if (text.empty()) return setting;
    if (IsClamscanWord(text)) {
        setting.mode = EngineMode::Clamscan;
        return setting;
    }
    if (std::optional<ClamdAddress> address = ParseClamdAddress(text)) {
        setting.mode = EngineMode::Address;
        setting.address = std::move(address);
        return setting;
    }
    setting.unreadable = std::string(text);
    return setting;
}

std::optional<std::string> EngineSettingToStore(std::string_view field, std::string& why) {
    const std::string_view text = Trim(field);
    if (text.empty()) return std::string();
    if (IsClamscanWord(text)) return std::string(kClamscanSetting);
    if (std::optional<ClamdAddress> address = ParseClamdAddress(text)) {
        return ClamdAddressText(*address);
    }
    why = "\"" + std::string(text) +
          "\" is not a clamd address. Type the address as HOST:PORT (for example "
          "127.0.0.1:3310, or [::1]:3310), \"clamscan\" to scan always with clamscan, or leave "
          "the field empty to let the program choose.";
    return std::nullopt;
}

std::string EngineSettingFieldText(const EngineSetting& setting) {
    switch (setting.mode) {
        case EngineMode::Automatic:
            return setting.unreadable;
        case EngineMode::Clamscan:
            return kClamscanSetting;
        case EngineMode::Address:
            return ClamdAddressText(*setting.address);
    }
    return "";
}

bool KeepLoadedFrom(std::optional<std::uint32_t> stored) {
    return !stored || *stored != 0;
}

}  // namespace tolvar
