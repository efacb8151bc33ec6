#pragma once

// Files and folders reached exactly as their paths name them. A junction or
// a symbolic link along a path would let a program that may write a user's
// folder redirect this elevated program's copy or delete to a file of its
// choosing (ClamAV's own quarantine was open to this, CVE-2020-3350), so
// the removal and the restore open what they act on without following a
// link, check that the handle's final path is the path they meant, and then
// act through that handle.

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
// a path whose file is itself a link or a folder, or whose final path
// differs from path (a junction or a symbolic link along the way, or a drive
// letter standing for a folder of another drive).
NamedFile OpenNamedFile(const std::string& path, DWORD access, DWORD share);

// "" when the open file is the plain file that path names, reached through
// no link; else why not.
std::string FileReachedAsNamed(HANDLE file, const std::string& path);

// "" when folder (with or without its trailing backslash) is a folder that
// is neither a link nor reached through one; else why not.
std::string NamedFolderProblem(const std::string& folder);

// Deletes the file through its handle (opened with DELETE access), taking
// away a read-only attribute when that is what stops it (which needs
// FILE_WRITE_ATTRIBUTES access too). The file goes when the last handle to
// it closes. True when the deletion is set.
bool DeleteThroughHandle(HANDLE file);

// The text before the last backslash (with it): the folder of a path.
std::string FolderOf(const std::string& path);

}  // namespace tolvar
