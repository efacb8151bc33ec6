#pragma once

// Copies between the user's folders and the vault that never leave a
// half-written file behind and never replace a file by accident.

#include <string>

namespace tolvar {

enum class Existing { Fail, Replace };

// Copies source to target whole: written, flushed, the same length as the
// source, and only then given the target's name. With Existing::Fail the
// copy fails rather than replace a file at target. On failure the target is
// as it was and the reason is returned; "" means success.
std::string CopyFileWhole(const std::string& source, const std::string& target, Existing existing);

}  // namespace tolvar
