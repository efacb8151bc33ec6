#pragma once

// Files and folders reached exactly as their paths name them. A junction or
// a symbolic link along a path would let a program that may write a user's
// folder redirect this elevated program's copy or delete to a file of its
// choosing (ClamAV's own quarantine was open to this, CVE-2020-3350), so
// the removal and the restore open what they act on, check that the
// handle's final path is the path they meant, and then act through that
// handle.
//
// Two parts of a path are taken as the system reaches them, not as written,
// each resolved to its final path: its root, the drive or network share
// that stands for a volume (a mapped drive, a share that a DFS namespace
// leads to), and the program's data folder, which %APPDATA% may reach
// through a relocated profile's junction or a redirection to a share (its
// final path is resolved once, when FixFolders fixes the folders). What
// follows either must be reached through no link: the final path of what
// is opened must be the resolved part followed by the rest of the path as
// named, both compared in the one form of core/path_compare.h.

#include <windows.h>

#include <string>

#include "core/handles_win.h"

namespace tolvar {

struct NamedFile {
    UniqueHandle handle;  // none when it could not be opened as named
    std::string problem;  // why not; "" when opened
    DWORD error = 0;      // the system's reason, when it gave one
};

// Opens the plain file at path with the access and sharing given. Refused:
// a path whose file is itself a symbolic link or a mount point, or a
// folder, or whose final path is not the path named (a junction or a
// symbolic link along the way). Another kind of reparse point is opened
// through its file system filter, which serves its content.
NamedFile OpenNamedFile(const std::string& path, DWORD access, DWORD share);

// "" when the open file is the plain file that path names, reached through
// no link; else why not.
std::string FileReachedAsNamed(HANDLE file, const std::string& path);

// "" when folder (with or without its trailing backslash) is a folder that
// is neither a link nor reached through one; else why not.
std::string NamedFolderProblem(const std::string& folder);

// The final path the system resolves an open file or folder to, in the
// ordinary form ("C:\...", "\\server\share\..."); "" when it cannot tell.
std::string FinalPathOf(HANDLE handle);

// The final path of what path names, links followed, when it can be opened;
// otherwise its full, long form (a file that is gone, say): how two paths
// are made comparable when both may be reached through links.
std::string ResolvedPath(const std::string& path);

// Deletes the file through its handle (opened with DELETE access), taking
// away a read-only attribute when that is what stops it (which needs
// FILE_WRITE_ATTRIBUTES access too). The file goes when the last handle to
// it closes. True when the deletion is set.
bool DeleteThroughHandle(HANDLE file);

// The text before the last backslash (with it): the folder of a path.
std::string FolderOf(const std::string& path);

}  // namespace tolvar
