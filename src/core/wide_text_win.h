#pragma once

// The program's UTF-8 text as Windows' own UTF-16, and back: the one
// conversion between the two, for every wide call. The "A" calls take UTF-8
// in this program only where its manifest makes UTF-8 the process's code
// page (Windows 10 1903 on, and a program built with that manifest), so a
// conversion through CP_ACP would turn a name into another one elsewhere.
// GDI's text calls read "A" text in the code page of the font's character
// set, not the program's: text is drawn through the wide calls. The
// system's legacy code pages are code_pages.h's.

#include <string>
#include <string_view>

namespace tolvar {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace tolvar
