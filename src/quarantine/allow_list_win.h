#pragma once

// The allow and ignore lists as files in the database folder, where clamd
// finds them at its next (re)load and the scanner is given them. Each is
// written whole through a replace, so a crash leaves the old list or the
// new one: a torn list would make ClamAV refuse every database. A list left
// with no entry is deleted, as ClamAV refuses an empty allow list.

#include <string>
#include <vector>

#include "quarantine/allow_list.h"

namespace tolvar {

// The MD5 and size of the file's content, with the name given; throws
// AppError when the file cannot be read.
AllowedFile AllowedFileOf(const std::string& path, const std::string& name);

// The lists in databaseFolder (which ends with a backslash); empty when the
// file is not there. Throws AppError when it is there but cannot be read.
std::vector<AllowedFile> AllowedFiles(const std::string& databaseFolder);
std::vector<std::string> IgnoredNames(const std::string& databaseFolder);

// Changes the lists on disk; throw AppError, with the old list kept, when
// they cannot be read or written. The caller has clamd reload afterwards.
void AllowFile(const std::string& databaseFolder, const AllowedFile& file);
void TakeBackAllowed(const std::string& databaseFolder, const AllowedFile& file);
void SetIgnoredNames(const std::string& databaseFolder, const std::vector<std::string>& names);

}  // namespace tolvar
