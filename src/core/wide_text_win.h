#pragma once

// The program's UTF-8 text as Windows' own UTF-16, and back. The "A" calls
// take UTF-8 in this program, but GDI's text calls read "A" text in the code
// page of the font's character set, not the program's: text is drawn
// through the wide calls.

#include <string>
#include <string_view>

namespace tolvar {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace tolvar
