#pragma once

// The folders the user excluded from every scan, as stored in the registry
// subkey "exclude" (its default value, one folder a line): what the stored
// text means, and how each engine is told. clamscan is given a pattern per
// folder (--exclude-dir); the program's own walk for clamd asks Covers().
// A real-time watch asks the same.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

inline constexpr const char* kExcludeSubkey = "exclude";

// One line of the list as a folder in the form the program keeps: blanks
// around it dropped, "/" read as "\", repeated backslashes as one, no
// closing backslash (a drive's root is "D:\", and "D:" alone means it), a
// long path's "\\?\" dropped, the drive letter in upper case. Nothing for
// a line that names no folder by a full path: a relative path, "." or
// ".." inside it, a character no Windows name may hold, a share without its
// name.
std::optional<std::string> ExcludedFolderOf(std::string_view line);

// The folders a stored text names, in its order; blank lines and lines that
// name no folder are left out, and so is a folder listed before under
// another spelling (case, slashes, a closing backslash).
std::vector<std::string> ParseExcludedFolders(std::string_view text);

// The lines of a text (as the Protection window's field holds it) that name
// no folder, blank ones aside, as written; the window stores nothing while
// there is one.
std::vector<std::string> LinesNamingNoFolder(std::string_view text);

// The text to store for folders: one a line, CR LF between them.
std::string ExcludedFoldersText(const std::vector<std::string>& folders);

// clamscan's --exclude-dir pattern (a POSIX extended regular expression
// matched against each folder's path as clamscan builds it) for a folder in
// ExcludedFolderOf's form: the folder itself and what lies below it, never
// a folder whose name merely starts with its name ("C:\a" never takes
// "C:\ab"). Every character the expression language gives a meaning is
// escaped. clamscan.exe matches without regard to case, as Windows names
// paths. The pattern is plain ASCII, as clamscan.exe before 1.5 reads its
// command line in the ANSI code page: a character beyond ASCII stands as
// one to as many bytes as it has in UTF-8, none of them printable ASCII,
// or a "?" (the letter in UTF-8, in a code page of one byte a letter, or
// lost to one). So, beside the folder, only a folder whose name differs
// from it in such letters alone, not in its ASCII, can be taken too; a
// name in a code page of two bytes a letter may be missed.
std::string ClamscanExcludePattern(const std::string& folder);

// A set of excluded folders to ask about paths.
class ExcludedFolders {
public:
    ExcludedFolders() = default;
    // folders as ParseExcludedFolders gives them.
    explicit ExcludedFolders(std::vector<std::string> folders);

    // True when path is an excluded folder or lies anywhere below one.
    bool Covers(std::string_view path) const;
    const std::vector<std::string>& Folders() const { return folders_; }
    bool empty() const { return folders_.empty(); }

private:
    std::vector<std::string> folders_;
    std::vector<std::string> comparable_;  // in ComparablePath's form
};

// The stored list (excluded_folders_win.cpp). A key that cannot be read, or
// a value that is no text, reads as no folder (and is left as it is). The
// store throws AppError when the key cannot be written.
ExcludedFolders LoadExcludedFolders();
// The stored text as it is, for the Protection window to show.
std::string LoadExcludedFoldersText();
void StoreExcludedFolders(const std::vector<std::string>& folders);

}  // namespace tolvar
