#include "core/registry_win.h"

#include <vector>

#include "core/app_error.h"
#include "core/registry_rules.h"

namespace tolvar {

namespace {

RegistryValueType TypeOf(LONG status, DWORD type) {
    if (status == ERROR_FILE_NOT_FOUND) return RegistryValueType::Missing;
    if (type == REG_BINARY) return RegistryValueType::Binary;
    if (type == REG_SZ || type == REG_EXPAND_SZ) return RegistryValueType::String;
    return RegistryValueType::Other;
}

}  // namespace

RegistryKey::RegistryKey(const std::string& subkey) : name_(subkey) {
    const std::string path = std::string(kRegistryKey) + subkey;
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        throw AppError("Failed to get data for 'HKEY_LOCAL_MACHINE\\" + path + "'");
    }
    key_.reset(key);
}

std::optional<std::size_t> RegistryKey::ReadBinary(std::uint8_t* record, std::size_t size) const {
    DWORD type = 0;
    DWORD length = 0;
    LONG status = RegQueryValueExA(key_.get(), nullptr, nullptr, &type, nullptr, &length);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw AppError("Failed to get data for '" + name_ + "'");
    }
    std::vector<std::uint8_t> data(length);
    if (status == ERROR_SUCCESS && length > 0) {
        status = RegQueryValueExA(key_.get(), nullptr, nullptr, &type, data.data(), &length);
        if (status != ERROR_SUCCESS) throw AppError("Failed to get data for '" + name_ + "'");
        data.resize(length);
    }
    ApplyBinaryValue(record, size, TypeOf(status, type), data.data(), data.size());
    if (status != ERROR_SUCCESS) return std::nullopt;
    return data.size();
}

std::string RegistryKey::ReadText(const char* value) const {
    DWORD type = 0;
    DWORD length = 0;
    LONG status = RegQueryValueExA(key_.get(), value, nullptr, &type, nullptr, &length);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw AppError("Failed to get data for '" + name_ + "'");
    }
    std::string data(length, '\0');
    if (status == ERROR_SUCCESS && length > 0) {
        status = RegQueryValueExA(key_.get(), value, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &length);
        if (status != ERROR_SUCCESS) throw AppError("Failed to get data for '" + name_ + "'");
        data.resize(length);
    }
    return ReadTextValue(TypeOf(status, type), data);
}

void RegistryKey::WriteBinary(const std::uint8_t* data, std::size_t size) const {
    if (RegSetValueExA(key_.get(), nullptr, 0, REG_BINARY, data, static_cast<DWORD>(size)) !=
        ERROR_SUCCESS) {
        throw AppError("Failed to set data for '" + name_ + "'");
    }
}

void RegistryKey::WriteText(const std::string& text, const char* value) const {
    if (RegSetValueExA(key_.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS) {
        throw AppError("Failed to set data for '" + name_ + "'");
    }
}

std::optional<std::uint32_t> RegistryKey::ReadNamedDword(const std::string& name) const {
    DWORD type = 0;
    DWORD value = 0;
    DWORD length = sizeof value;
    const LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &length);
    if (status != ERROR_SUCCESS || type != REG_DWORD || length != sizeof value) return std::nullopt;
    return value;
}

void RegistryKey::WriteNamedDword(const std::string& name, std::uint32_t value) const {
    const DWORD data = value;
    if (RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof data) != ERROR_SUCCESS) {
        throw AppError("Failed to set data for '" + name_ + "\\" + name + "'");
    }
}

}  // namespace tolvar
