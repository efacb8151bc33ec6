#pragma once

// Writing a whole file so that a crash or a full disk leaves either the old
// file or the new one, never a torn mix.

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar {

// Writes bytes to a temporary file beside path, flushes it to the disk,
// then puts it in place with one replace. Throws AppError naming the file
// when any step fails; the old file is then untouched.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The whole content of a file; throws AppError naming it when it cannot be
// read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

bool FileExists(const std::string& path);

}  // namespace tolvar
