#pragma once

// The signature database files in the database folder.

#include <string>
#include <vector>

namespace tolvar {

// Deletes what an interrupted update may have left: the checked downloads
// waiting to be installed (main2.cvd, daily2.cvd) and unfinished transfers.
void RemoveStaleDownloads();

// Makes a new empty file of a name no other transfer has, in databaseFolder,
// for one transfer to write; throws AppError when it cannot.
std::string NewTransferFile(const std::string& databaseFolder);

// The database files the scanner loads, named in full (ChooseScanDatabases
// over what databaseFolder, which ends with a backslash, holds).
std::vector<std::string> ScanDatabaseFiles(const std::string& databaseFolder);

}  // namespace tolvar
