#pragma once

// The program's registry storage: every item is a subkey of
// HKEY_LOCAL_MACHINE\SOFTWARE\Mirebrook\AntiVirus\ whose default value holds
// the data. Keys are opened in the 32-bit view, so a 64-bit build shares its
// values with a 32-bit one, created when missing, and closed after each
// access.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/unique_resource.h"

namespace tolvar {

inline constexpr const char* kRegistryKey = "SOFTWARE\\Mirebrook\\AntiVirus\\";

// An open registry key, closed when it goes.
class RegistryKey {
public:
    // Opens (or creates) the program's subkey with read and write access;
    // throws AppError when it cannot.
    explicit RegistryKey(const std::string& subkey);

    // A named value of the key that holds a number: nothing when it is
    // missing or not a DWORD, so that a damaged value reads as the default.
    std::optional<std::uint32_t> ReadNamedDword(const std::string& name) const;
    void WriteNamedDword(const std::string& name, std::uint32_t value) const;

    // Reads the default value into the first bytes of a fixed record, by the
    // rules for binary values: missing leaves it, a shorter or equal binary
    // value replaces that many leading bytes, anything else is an error.
    // How many bytes were stored; none when the value is missing.
    std::optional<std::size_t> ReadBinary(std::uint8_t* record, std::size_t size) const;
    // Missing reads as "", a value not of a string type is an error. The
    // default value unless another one is named.
    std::string ReadText(const char* value = nullptr) const;
    void WriteBinary(const std::uint8_t* data, std::size_t size) const;
    void WriteText(const std::string& text, const char* value = nullptr) const;

private:
    static void Close(HKEY key) { RegCloseKey(key); }
    UniqueResource<NullIsNone<HKEY, &RegistryKey::Close>> key_;
    std::string name_;
};

}  // namespace tolvar
