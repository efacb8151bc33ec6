#include "framework/resource_data.h"

#include <windows.h>

#include "core/app_error.h"

namespace tolvar {

std::span<const std::uint8_t> ResourceData(const std::string& name, const std::string& what) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data || size == 0) throw AppError("Cannot read " + what + " resource " + name);
    return {static_cast<const std::uint8_t*>(data), size};
}

std::string LoadTextResource(const std::string& name) {
    const std::span<const std::uint8_t> bytes = ResourceData(name, "text");
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace tolvar
