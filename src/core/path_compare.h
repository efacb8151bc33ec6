#pragma once

// How the program compares two paths of the file system, everywhere: in one
// written form, compared as the file system compares names. Each path is
// taken as written; what links and junctions make of it is the final path
// the system resolves (named_file_win.h), which is compared in this same
// form.

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvar {

// A path in the form two paths are compared in: the "\\?\" of a long path
// dropped ("\\?\UNC\srv\share" becomes "\\srv\share"), no closing
// backslash (a drive's root "C:\" becomes "c:"), letters in lower case.
//
// Case is folded for the scripts FoldCaseForPath knows, a subset of the
// pairs the file system takes as one letter. So two paths this calls equal
// always name the same entry, and two that differ only in the case of a
// letter of another script count as different: a comparison that errs
// refuses to act (a removal, a restore, a detection taken for the
// program's own file) rather than acting on the wrong file.
std::string ComparablePath(std::string_view path);

// True when the two paths are the same once both are in ComparablePath's
// form. An empty path names nothing and equals nothing.
bool SamePath(std::string_view a, std::string_view b);

// True when path is the folder itself or lies anywhere below it. Both are
// given in the form of ComparablePath.
bool LiesInside(std::string_view comparablePath, std::string_view comparableFolder);

// The length of a path's root, the part that names a volume rather than a
// folder on it: "C:\", "\\?\C:\", "\\srv\share\" or "\\?\UNC\srv\share\"
// (a share's root without its closing backslash when nothing follows). 0
// when the path has no such root (a relative path, "\\?\" before something
// that is no drive).
std::size_t RootLength(std::string_view path);

// The path without its closing backslashes, as the system's calls want a
// folder named; a drive's root "C:\" keeps its own ("C:" alone means the
// drive's current folder).
std::string WithoutClosingBackslash(std::string path);

}  // namespace tolvar
