#pragma once

// The name under which a removed file's copy goes into the vault. It must
// never be the name of a file already there: that copy would be replaced and
// the record pointing to it would restore the wrong file.

#include <functional>
#include <string>
#include <string_view>

namespace tolvar {

// vaultFolder ends with a backslash; fileName is the infected file's name
// without its folder. Tries vaultFolder + fileName, then vaultFolder + r +
// fileName with r drawn by randomInt(0, 9999) (up to 100 draws), then
// vaultFolder + n + fileName for n counting up from 0. Returns the first that
// exists() says is free.
//
// Returns "" when no name is usable: fileName is empty, ".", ".." or holds a
// separator (the copy would land outside the vault); every name tried is
// taken; or the path is longer than the 255 characters a vault record holds.
// A path cut to the field would name a different file than the copy, so it
// is refused rather than cut.
//
// Names the vault keeps for itself (IsReservedVaultName) count as taken.
//
// exists() is only a first check; the caller still creates the file so that
// it fails when the name has been taken in the meantime.
std::string ChooseVaultPath(const std::string& vaultFolder, const std::string& fileName,
                            const std::function<bool(const std::string&)>& exists,
                            const std::function<int(int lo, int hi)>& randomInt);

// The vault's own files: the records file "records.gav" and the names it is
// set aside under ("records.gav." followed by anything), in any case. A
// removed file of such a name would be overwritten by the next records
// write, or block the setting aside of a damaged records file.
bool IsReservedVaultName(std::string_view fileName);

}  // namespace tolvar
