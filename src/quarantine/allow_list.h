#pragma once

// The user's own exceptions, kept in ClamAV's own formats so that clamscan
// and clamd honour them with no help from this program: the allow list
// (local.fp, "<MD5>:<size>:<name>" a line) lets exactly one content pass,
// so that a changed file is still found; the ignore list (local.ign2, one
// detection name a line) drops a signature that misfires on many files.
// These rules work on the lists' text; allow_list_win.h reads and writes
// the files.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

struct AllowedFile {
    std::string md5;  // 32 lower-case hexadecimal digits
    std::uint64_t size = 0;
    std::string name;  // shown to the user; ClamAV reports it nowhere
};

// The entries of an allow list. A line ClamAV would not take as one (a
// comment, a line a person mistyped) is no entry here, and stays in the
// text when entries are added or taken back.
std::vector<AllowedFile> ReadAllowList(std::string_view text);

// The text with file allowed; unchanged when its content (MD5 and size) is
// allowed already. Every line ends with a line break.
std::string WithAllowed(std::string_view text, const AllowedFile& file);

// The text without the entries of that content.
std::string WithoutAllowed(std::string_view text, std::string_view md5, std::uint64_t size);

// A name ClamAV reads back as one field of one line: a colon would start a
// field of its own (ClamAV would take the line for a different kind of
// signature), a line break a new line; both, and other control characters,
// become "_". An empty name becomes "Allowed".
std::string ListSafeName(std::string_view name);

// The names of an ignore list, one a line, blank lines left out.
std::vector<std::string> ReadIgnoreList(std::string_view text);

// The ignore list's text for names: each made list-safe (a colon is kept,
// as ".ign2" lines may name a signature's MD5 after one), blank and repeated
// names left out.
std::string IgnoreListText(const std::vector<std::string>& names);

}  // namespace tolvar
