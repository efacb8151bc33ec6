#pragma once

// The data folder as this elevated program may trust it. The setup makes the
// data folder writable by the Administrators and SYSTEM alone, a list that
// what it holds inherits; the program gives that list back at start-up to
// the data folder and its database folder when it finds them open, before
// anything in them is read or run. A file there is then trusted only when
// its own access list keeps everyone else out and it is reached as named
// under the data folder: the repair of a folder never hands its list down
// to what the folder already holds, so no file that others could change
// becomes trusted by it.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/handles_win.h"
#include "core/named_file_win.h"

namespace tolvar {

// At start-up, once the folders' paths are fixed:
// - the data folder and its database folder are created owned by the
//   Administrators with an access list of their own that lets only them and
//   SYSTEM change them, inherited by all they will hold, or given that
//   owner and list when they let anyone else change them;
// - who may write them is learnt from the owner the file system reports
//   (Folders().TrustedWriters);
// - a file in the database folder that others could change (a database the
//   scanner would load, the scan dump) is set aside, renamed
//   "<name>.unprotected-<date>", where neither the scanner nor ClamAV's
//   updater nor the program will take it;
// - the data folder's final path is resolved (Folders().FinalDataFolder).
void SecureDataFolders();

// Why a folder of the data folder could now be changed by programs without
// administrator rights, or is not reached as named; "" when neither.
std::string FolderTrustProblem(const std::string& folder);
// The same for the data folder and its database folder.
std::string DataFolderTrustProblem();

// True when someone outside Folders().TrustedWriters could change this open
// file (opened with READ_CONTROL).
bool OthersCanChangeFile(HANDLE file);

// Opens a file of the data folder as named (OpenNamedFile) and only when
// others cannot change it; READ_CONTROL is added to access.
NamedFile OpenTrustedFile(const std::string& path, DWORD access, DWORD share);

// Writes bytes to a file of the data folder for an elevated tool to read (a
// configuration, a list of folders): whole, in one step (WriteFileAtomically),
// then opened as trusted and held open for reading with no sharing but
// reading, so that neither the file nor a folder on its path can be
// replaced until the handle is closed. Throws AppError, with the file
// deleted, when what was written could be changed by others.
UniqueHandle WriteTrustedFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Renames the file to "<path>.<why>-<date and time>" (with a number after it
// when that is taken), a name nothing of the program takes for one of its
// files. Returns the new name; "" when it could not be renamed.
std::string SetFileAside(const std::string& path, const std::string& why);

}  // namespace tolvar
