#pragma once

// Text inside the program is UTF-8: the program's manifest makes UTF-8 its
// code page, so every "A" call of Windows takes and gives UTF-8. These are
// the few operations that must know where a character starts, so that no
// cut, tail or comparison ever splits one.

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvar {

// True when every byte is ASCII (below 0x80).
bool IsPlainAscii(std::string_view text);

// True for well-formed UTF-8: no stray continuation bytes, no overlong
// forms, no surrogates, nothing past U+10FFFF. Plain ASCII is UTF-8.
bool IsValidUtf8(std::string_view text);

// The longest start of text that is at most maxBytes bytes long and does not
// end inside a character.
std::string_view Utf8PrefixOfBytes(std::string_view text, std::size_t maxBytes);

// The first / the last `count` characters (all of text when it has fewer).
std::string_view Utf8FirstChars(std::string_view text, std::size_t count);
std::string_view Utf8LastChars(std::string_view text, std::size_t count);

// Text with the letters of the scripts a Windows file name commonly uses
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic) in lower case, for
// comparing paths the way the file system does; other characters stay.
std::string FoldCaseForPath(std::string_view text);

}  // namespace tolvar
