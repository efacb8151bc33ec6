#pragma once

// The configuration the program's own clamd starts with: listening on this
// computer alone, on a port the program chose, loading the database folder
// the updater keeps, with a scanning thread per processor, and never
// scanning the vault (whose files would all be detections again).

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

struct ClamdConfig {
    std::uint16_t port = 0;
    std::string databaseFolder;  // with or without its closing backslash
    unsigned threads = 1;
    std::string vaultFolder;  // with or without its closing backslash
};

// text with every character an extended regular expression gives a meaning
// to preceded by a backslash, so that the expression matches it literally.
std::string EscapeForRegex(std::string_view text);

// The clamd.conf text, one "Option value" a line.
std::string ClamdConfigText(const ClamdConfig& config);

}  // namespace tolvar
