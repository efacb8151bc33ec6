#pragma once

// Data carried inside the program as RCDATA resources: the windows'
// pictures and texts.

#include <cstdint>
#include <span>
#include <string>

namespace tolvar {

// The bytes of the RCDATA resource of this name in the program's own image;
// they stay valid for the whole run. Throws AppError naming what is missing.
std::span<const std::uint8_t> ResourceData(const std::string& name, const std::string& what);

// A text resource as it is stored.
std::string LoadTextResource(const std::string& name);

}  // namespace tolvar
