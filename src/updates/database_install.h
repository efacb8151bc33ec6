#pragma once

// Checking a downloaded database and putting it in place of the live one.

#include <string>

#include "updates/download_outcome.h"

namespace tolvar {

// Fills the outcome's file fields: whether the file is there, its length,
// whether it starts like a signature database, and whether its body has
// the MD5 its header gives.
void InspectDownload(const std::string& file, TransferOutcome& outcome);

// Replaces the live file with the download in one step, so the scanner
// never finds the live name missing; false (the live file untouched) when
// the system refuses, for example while the scanner holds the live file.
bool InstallDatabase(const std::string& downloadFile, const std::string& liveFile);

// The text of the configured mirror: the default value of the subkey
// "mirror", read at each run; "" (ClamAV's own mirror, through its updater
// when it is there) when there is none or it is not a text.
std::string ConfiguredMirror();
// Stores the mirror the user entered, without blanks around it; throws
// AppError when the registry refuses.
void StoreConfiguredMirror(const std::string& mirror);

}  // namespace tolvar
