#pragma once

// The paths a scanner's report names, mended where the scanner could not
// write a character. They are compared as every path is (core/path_compare.h).

#include <optional>
#include <string>
#include <string_view>

#include "scan/folder_lister.h"

namespace tolvar {

// True when name matches pattern, in which each "?" stands for one
// character. A scanner writing in a code page that lacks a character
// writes one "?" for it (or two, for a character outside the Basic
// Multilingual Plane, which Windows keeps as two UTF-16 units).
bool MatchesUnknownCharacters(std::string_view pattern, std::string_view name);

// A path with "?" for characters the scanner could not write, mended from
// the folders it names: each part of the path that holds "?" is replaced by
// the one entry of its folder that matches it. Nothing when a part matches
// no entry or more than one (acting on a guess could act on the wrong
// file); the path itself when it holds no "?".
std::optional<std::string> ResolveUnknownCharacters(std::string_view path, FolderLister& lister);

}  // namespace tolvar
