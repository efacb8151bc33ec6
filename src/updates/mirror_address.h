#pragma once

// Where the databases come from, and the proxy's login header. The mirror is
// one configured value: a host ("127.0.0.1:8765") or a base address
// ("http://mirror.example/clamav"); empty means the scanner's public mirror.

#include <string>
#include <string_view>

namespace tolvar {

inline constexpr const char* kDefaultMirror = "database.clamav.net";

// The address of one database file (remotePath starts with "/"). Blanks
// around the configured value are ignored, and so is a trailing slash; a
// value without a scheme is taken as plain HTTP.
std::string DatabaseUrl(std::string_view configuredMirror, std::string_view remotePath);

// "Basic <base64 of user:password>", the answer to a proxy that asks for a
// login.
std::string BasicCredentials(std::string_view user, std::string_view password);

}  // namespace tolvar
