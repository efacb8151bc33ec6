#pragma once

// Which engine the user asked for, as stored in the registry subkey
// "engine": its default value names the engine, its value "KeepLoaded"
// says whether the program keeps its own clamd running.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scan/clamd_protocol.h"

namespace tolvar {

inline constexpr const char* kEngineSubkey = "engine";
inline constexpr const char* kKeepLoadedValue = "KeepLoaded";
inline constexpr const char* kClamscanSetting = "clamscan";

enum class EngineMode {
    Automatic,  // the program's own clamd when it is ready, else clamscan
    Clamscan,   // always clamscan
    Address,    // an existing clamd, at address
};

struct EngineSetting {
    EngineMode mode = EngineMode::Automatic;
    std::optional<ClamdAddress> address;  // for Address
    // A stored text the program cannot read (a typing error made in the
    // registry, a newer version's word): automatic is used meanwhile, and
    // the Protection window shows the text. "" for any other.
    std::string unreadable;

    bool operator==(const EngineSetting&) const = default;
};

// The stored text: missing or "" is automatic, "clamscan" (in any case) is
// clamscan, "HOST:PORT" an address; blanks around it do not count.
EngineSetting ParseEngineSetting(std::string_view stored);

// What the Protection window's field stores: "" (automatic), "clamscan" or
// an address in the form ParseClamdAddress reads. Nothing for any other
// text, with why in words, and nothing is stored then.
std::optional<std::string> EngineSettingToStore(std::string_view field, std::string& why);

// The field's text for a setting, as the window shows it when it opens.
std::string EngineSettingFieldText(const EngineSetting& setting);

// "Keep the scan engine loaded": a stored DWORD (nothing when the value is
// missing or not a DWORD, which reads as the default: ticked).
bool KeepLoadedFrom(std::optional<std::uint32_t> stored);

// The stored setting and check box (engine_setting_win.cpp); a key that
// cannot be read gives the defaults. The stores throw AppError when the
// key cannot be written.
EngineSetting LoadEngineSetting();
bool LoadKeepLoaded();
// text as EngineSettingToStore gave it.
void StoreEngineSetting(const std::string& text);
void StoreKeepLoaded(bool keep);

}  // namespace tolvar
