#pragma once

// The system's legacy code pages and the conversion of text written in one
// of them into the program's UTF-8: report lines of a scanner that writes in
// the OEM code page, and records stored by a build that wrote ANSI.
//
// Implemented by the platform: on Windows by the system's own tables, in
// the native build (which only runs the tests) by iconv, for a system set up
// like a Western Windows (ANSI 1252, OEM 850).

#include <string>
#include <string_view>

namespace tolvar {

struct LegacyCodePages {
    unsigned ansi;
    unsigned oem;
};

// The code pages the system itself uses. The program runs with UTF-8 as its
// own code page, so GetACP() and GetOEMCP() answer 65001 for it; the
// system's real pages are read from the registry (once).
LegacyCodePages SystemCodePages();

// bytes in the given code page (437, 850, 1252, 932 ...) as UTF-8. A byte
// the page does not define becomes U+FFFD; an unknown code page converts
// nothing but ASCII.
std::string CodePageToUtf8(std::string_view bytes, unsigned codePage);

}  // namespace tolvar
