#pragma once

// Checking a downloaded database and putting it in place of the live one.

#include <string>

#include "updates/download_outcome.h"

namespace tolvar {

// Fills the outcome's file fields: whether the file is there, its length,
// and whether it starts like a signature database.
void InspectDownload(const std::string& file, TransferOutcome& outcome);

// Replaces the live file with the download in one step, so the scanner
// never finds the live name missing; false (the live file untouched) when
// the system refuses, for example while the scanner holds the live file.
bool InstallDatabase(const std::string& downloadFile, const std::string& liveFile);

// The text of the configured mirror: the default value of the subkey
// "mirror", read at each run; "" (the public mirror) when there is none or
// it is not a text.
std::string ConfiguredMirror();

}  // namespace tolvar
